// The frame pipeline: what reaches the device, and the results for broken lists and buffers.
#include <algorithm>
#include <numeric>
#include <random>

#include "core_fixture.h"

namespace {

using CoreRender = CoreTest;

std::vector<NullCall> Calls(NullOp op) {
    std::vector<NullCall> out;
    for (const NullCall& c : nullDevice.calls)
        if (c.op == op) out.push_back(c);
    return out;
}

Ints BoundTextures() {
    Ints out;
    for (const NullCall& c : Calls(NULL_SET_TEXTURE)) out.push_back(c.b);
    return out;
}

void AddTriangle(int texture, float z = 0.5f) {
    AddRun(1, texture, {Corner(0, 0, z), Corner(0.1f, 0, z), Corner(0, 0.1f, z)});
}

TEST_F(CoreRender, CullByOutcodesAndRunTypes) {
    struct Case {
        const char* name;
        uint32_t type;
        Ints outcodes;  // 1 left, 2 right, 4 above, 8 below, 15 beyond depth
        int drawnAs;    // 0: nothing reaches the device
    } cases[] = {
        {"all left", 1, {1, 1, 1}, 0},
        {"left, above-left, above", 1, {1, 5, 4}, 1},
        {"full-screen quad", 4, {5, 6, 10, 9}, 0},
        {"all beyond depth", 1, {15, 15, 15}, 0},
        {"one beyond depth", 3, {0, 0, 15}, 3},
        {"left and right", 2, {1, 2, 1}, 2},
        {"sprite below", 5, {8}, 0},
        {"lines crossing", 6, {2, 0}, 6},
        {"world sprite", 8, {0}, 5},
        {"emitter", 7, {0}, 0},
        {"no such type", 10, {0}, 0},
    };
    for (const Case& c : cases) {
        ClearScene();
        nullDevice.calls.clear();
        BeginRun(static_cast<int>(c.outcodes.size()), c.type, 5);
        auto off = [](int oc, int low, int high) {
            return oc & low ? -2.0f : oc & high ? 2.0f : 0;
        };
        for (int oc : c.outcodes)
            AddVertexRef(Corner(off(oc, 1, 2), off(oc, 4, 8), oc == 15 ? 2.0f : 0.5f), -1, 0, 0);
        ASSERT_EQ(0, Render()) << c.name;
        const std::vector<NullCall> draws = Calls(NULL_DRAW);
        // Culled: nothing drawn, no texture bound; drawn: texture 5, then one draw of the run.
        Ints got = BoundTextures(),
             want = c.drawnAs ? Ints{5, c.drawnAs, int(c.outcodes.size())} : Ints{};
        for (const NullCall& d : draws) got.insert(got.end(), {d.a, d.b});
        EXPECT_EQ(got, want) << c.name;
    }
    // References outside the tables never reach the device.
    ClearScene();
    AddRun(5, 4, {99});
    BeginRun(1, 5, 4);
    AddVertexRef(0, 42, 0, 0);
    ASSERT_EQ(0, Render());
    EXPECT_EQ(0, NullDevice_Count(NULL_DRAW) + NullDevice_Count(NULL_SET_TEXTURE));
}

TEST_F(CoreRender, ShadedVerticesThroughTheDemoProjection) {
    SetAmbient(0.5f);
    SetViewport(320, 240, 300, 300, 0);
    Matrix proj = DemoProjection(), view = Identity();
    Material m{};
    m.emissive[0] = 1;
    const int mat = AddMaterial(&m), a = Corner(0.5f, 0.25f, 4.0f);
    BeginRun(3, 1, 9);
    AddVertexRef(a, mat, 0.125f, 0.75f);
    AddVertexRef(Corner(0, 0, 0.01f), -1, 0, 0);
    AddVertexRef(Corner(0, 0, 20), -1, 0, 0);
    ASSERT_EQ(0, RenderFrame(&view, &proj, 0));
    ASSERT_EQ((Ints{9}), BoundTextures());
    ASSERT_EQ(3u, nullDevice.vertices.size());
    const DeviceVertex& v = nullDevice.vertices[0];
    // x, y, z, 1/w, u, v of the first; near at depth 0, far at far / (far + 1).
    const float
        want[] = {365, 262.5f, 0.798399f, 0.2f, 0.75f, 0.125f, 0, 0.952381f},
        got[] = {
            v.x, v.y, v.z, v.rhw, v.u, v.v, nullDevice.vertices[1].z, nullDevice.vertices[2].z};
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(want[i], got[i], 1e-4f) << "value " << i;
    EXPECT_EQ(v.color, 0xFFFF0000u);
    EXPECT_EQ(nullDevice.vertices[1].color, 0xFF7F7F7Fu);
}

TEST_F(CoreRender, DepthSortOrderKeysAndStability) {
    for (int depthFar : {1, 65535}) {
        Fresh(depthFar);
        const float z[] = {0.9f, 0.1f, 0.5f, 0.5f, 1.0f, 0.0f};  // textures 1..6
        for (int i = 0; i < 6; ++i) AddTriangle(i + 1, z[i]);
        ASSERT_EQ(0, Render());
        EXPECT_EQ((Ints{1, 2, 3, 4, 5, 6}), BoundTextures()) << "unsorted: list order";
        nullDevice.calls.clear();
        ASSERT_EQ(0, Render(1));
        EXPECT_EQ((Ints{5, 1, 3, 4, 2, 6}), BoundTextures()) << "depth range " << depthFar;
    }
    // Many runs: the order is a stable sort by key, and keys never grow with depth.
    Fresh(1);
    std::mt19937 rng(1234);
    std::vector<std::pair<int, float>> runs;  // header, z
    for (int i = 0; i < 700; ++i) {
        const float zr = float(rng() % 4001) / 4000.0f;
        runs.push_back({BeginRun(1, 5, i + 1), zr});
        AddVertexRef(Corner(0, 0, zr), -1, 0, 0);
    }
    ASSERT_EQ(0, Render(1));
    auto key = [&](int texture) { return trx.wctable[runs[texture - 1].first].run.key; };
    Ints want(runs.size());
    std::iota(want.begin(), want.end(), 1);  // the runs' textures, in list order
    std::stable_sort(want.begin(), want.end(), [&](int a, int b) { return key(a) < key(b); });
    EXPECT_EQ(want, BoundTextures());
    std::sort(want.begin(), want.end(),
              [&](int a, int b) { return runs[a - 1].second < runs[b - 1].second; });
    for (size_t i = 1; i < want.size(); ++i)
        ASSERT_GE(key(want[i - 1]), key(want[i])) << "z " << runs[want[i] - 1].second;
    // Without sort memory the frame is drawn in list order.
    Fresh(1);
    AddTriangle(1, 0.1f);
    AddTriangle(2, 0.9f);
    TrxFailAllocations(1, 4);  // the four frame buffers succeed, the sort arrays fail
    ASSERT_EQ(0, Render(1));
    EXPECT_EQ((Ints{1, 2}), BoundTextures());
}

TEST_F(CoreRender, SpriteSizesFollowPerspective) {
    SetViewport(320, 240, 300, 300, 0);
    Matrix proj = DemoProjection(), view = Identity();
    AddRun(8, 0, {Corner(0, 0, 2)}, 1, 0.5f);  // v = width 1, u = height 0.5
    AddRun(8, 0, {Corner(0, 0, 4)}, 1, 0.5f);
    AddRun(0x29, 3, {Corner(0.1f, 0, 2)}, 2, 2);
    ASSERT_EQ(0, RenderFrame(&view, &proj, 0));
    ASSERT_EQ(0, RenderFrame(&view, nullptr, 0)) << "sprites keep the last projection";
    const float want[][2] = {{225, 112.5f}, {112.5f, 56.25f}, {450, 450}, {225, 112.5f}};
    ASSERT_EQ(6u, nullDevice.vertices.size());
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(want[i][0], nullDevice.vertices[i].v, 1e-3f) << "vertex " << i;
        EXPECT_NEAR(want[i][1], nullDevice.vertices[i].u, 1e-3f) << "vertex " << i;
    }
}

TEST_F(CoreRender, FlaresAreTestedAndDrawnLast) {
    struct Case {
        const char* name;
        uint32_t type;
        float stored;  // what the depth buffer answers
        bool drawn;
        float z;  // depth of the drawn flare
    } cases[] = {{"visible", 9, 1.0f, true, 0.0f},
                 {"visible, flag 0x20", 0x29, 1.0f, true, 0.0f},
                 {"hidden", 9, 0.25f, false, 0},
                 {"hidden, flag 0x20", 0x29, 0.25f, true, 0.5f}};
    for (const Case& c : cases) {
        Fresh(1);
        nullDevice.config.readDepth = c.stored;
        AddRun(c.type, 7, {Corner(0.25f, 0.5f, 0.5f)}, 1, 1);
        AddTriangle(2);
        ASSERT_EQ(0, Render()) << c.name;
        const std::vector<NullCall> reads = Calls(NULL_READ_DEPTH), draws = Calls(NULL_DRAW);
        ASSERT_EQ(1u, reads.size()) << c.name;
        EXPECT_EQ((Ints{reads[0].a, reads[0].b, reads[0].c}), (Ints{400, 360, 1}))
            << c.name << ": column, row, flush";
        ASSERT_EQ(c.drawn ? 2u : 1u, draws.size()) << c.name;
        EXPECT_EQ(1, draws[0].a) << c.name << ": the triangle comes first";
        if (!c.drawn) continue;
        EXPECT_EQ((Ints{draws[1].a, draws[1].b}), (Ints{DEV_SPRITE, 1})) << c.name;
        EXPECT_EQ((Ints{2, 7}), BoundTextures()) << c.name;
        EXPECT_EQ(c.z, nullDevice.vertices[3].z) << c.name;
    }
    Fresh(1);
    for (int i = 0; i < 130; ++i) AddRun(0x29, 5, {Corner(0, 0, 0.5f)}, 1, 1);
    ASSERT_EQ(0, Render());
    EXPECT_EQ(NullDevice_Count(NULL_DRAW), 128) << "the queue holds 128 flares";
}

TEST_F(CoreRender, BrokenListsAndFailedBuffers) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    AddTriangle(1);
    AddRun(0x29, 4, {Corner(0, 0, 0.5f)}, 1, 1);
    BeginRun(3, 1, 2);
    AddVertexRef(0, -1, 0, 0);
    AddVertexRef(1, -1, 0, 0);
    for (int flags : {0, 1}) {
        nullDevice.calls.clear();
        trx.flareCount = 0;
        // The frame fails; the runs before the broken one are drawn, queued flares stay queued.
        const int result = Render(flags);
        EXPECT_EQ((Ints{result, NullDevice_Count(NULL_DRAW), trx.flareCount}), (Ints{-2, 1, 1}))
            << "flags " << flags;
    }
    ClearScene();
    nullDevice.calls.clear();
    AddRun(0x29, 4, {Corner(0, 0, 0.5f)}, 1, 1);
    ASSERT_EQ(0, Render());
    EXPECT_EQ(2, NullDevice_Count(NULL_DRAW))
        << "the left-over flare is drawn with the next frame's";
    ClearScene();
    BeginRun(0, 1, 0);
    for (int flags : {0, 1})
        EXPECT_EXIT(Render(flags), ::testing::ExitedWithCode(3), "Assertion failed: j>0, file trx");
    // The first frame allocates four buffers; failing any one of them fails the frame.
    for (int k = 0; k < 4; ++k) {
        FreeScene();
        nullDevice.calls.clear();
        AddTriangle(1);
        TrxFailAllocations(1, k);
        const int first = Render(), drawn = NullDevice_Count(NULL_DRAW);
        EXPECT_EQ((Ints{first, drawn, Render(), NullDevice_Count(NULL_DRAW)}), (Ints{-1, 0, 0, 1}))
            << "allocation " << k << ", then the next frame";
    }
}

}  // namespace
