// The frame pipeline: what reaches the device for culled, drawn, sorted, sprite and flare runs,
// and the results for broken command lists and failed buffers.
#include <algorithm>
#include <random>

#include "core_fixture.h"

namespace {

using CoreRender = CoreTest;

// A corner whose vertex has the given outcode (identity view and projection).
int CornerWithOutcode(int oc) {
    float x = (oc & 1) ? -2.0f : (oc & 2) ? 2.0f : 0.0f, y = (oc & 4) ? -2.0f : (oc & 8) ? 2.0f : 0.0f;
    return Corner(x, y, oc == 15 ? 2.0f : 0.5f);
}

void AddTriangle(int texture, float z = 0.5f) {
    AddRun(1, texture, {Corner(0, 0, z), Corner(0.1f, 0, z), Corner(0, 0.1f, z)});
}

std::vector<int> BoundTextures() {
    std::vector<int> out;
    for (const NullCall& c : Calls(NULL_SET_TEXTURE)) out.push_back(c.b);
    return out;
}

TEST_F(CoreRender, CullByOutcodesAndRunTypes) {
    struct Case {
        const char* name;
        uint32_t type;
        std::vector<int> outcodes;
        int drawnAs;  // 0: nothing reaches the device
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
        for (int oc : c.outcodes) AddVertexRef(CornerWithOutcode(oc), -1, 0, 0);
        ASSERT_EQ(0, Render()) << c.name;
        std::vector<NullCall> draws = Calls(NULL_DRAW);
        ASSERT_EQ(c.drawnAs ? 1u : 0u, draws.size()) << c.name;
        EXPECT_EQ(c.drawnAs ? std::vector<int>{5} : std::vector<int>{}, BoundTextures()) << c.name;
        if (c.drawnAs) {
            EXPECT_EQ((std::vector<int>{c.drawnAs, int(c.outcodes.size())}),
                      (std::vector<int>{draws[0].a, draws[0].b}))
                << c.name;
        }
    }
    // An emitter with a texture and references outside the tables never reach the device either.
    ClearScene();
    AddRun(7, 6, {Corner(0, 0, 0.5f)});
    AddRun(5, 4, {99});
    BeginRun(1, 5, 4);
    AddVertexRef(0, 42, 0, 0);
    ASSERT_EQ(0, Render());
    EXPECT_EQ(0, NullDevice_Count(NULL_DRAW) + NullDevice_Count(NULL_SET_TEXTURE));
}

TEST_F(CoreRender, ShadedVerticesThroughTheDemoProjection) {
    SetAmbient(0.5f);
    SetViewport(320, 240, 300, 300, 0);
    Matrix proj, view = Identity();
    MatPerspective(&proj, 0.01f, 20.0f, 0.00016666666f);
    Material m{};
    m.emissive[0] = 1;
    int mat = AddMaterial(&m), a = Corner(0.5f, 0.25f, 4.0f);
    BeginRun(3, 1, 9);
    AddVertexRef(a, mat, 0.125f, 0.75f);
    AddVertexRef(Corner(0, 0, 0.01f), -1, 0, 0);
    AddVertexRef(Corner(0, 0, 20), -1, 0, 0);
    ASSERT_EQ(0, RenderFrame(&view, &proj, 0));
    ASSERT_EQ((std::vector<int>{9}), BoundTextures());
    ASSERT_EQ(3u, nullDevice.vertices.size());
    const DeviceVertex& v = nullDevice.vertices[0];
    EXPECT_NEAR(320 + 150 * 3 * 0.5f / 5, v.x, 1e-4f);
    EXPECT_NEAR(240 + 150 * 3 * 0.25f / 5, v.y, 1e-4f);
    EXPECT_NEAR(20 * (4 - 0.01f) / (19.99f * 5), v.z, 1e-6f);
    EXPECT_NEAR(0.2f, v.rhw, 1e-7f);
    EXPECT_EQ((std::vector<float>{0.75f, 0.125f}), (std::vector<float>{v.u, v.v}));
    EXPECT_EQ(0xFFFF0000u, v.color);
    EXPECT_EQ(0xFF7F7F7Fu, nullDevice.vertices[1].color);
    EXPECT_NEAR(0.0f, nullDevice.vertices[1].z, 1e-6f) << "near plane at the depth minimum";
    EXPECT_NEAR(20.0f / 21.0f, nullDevice.vertices[2].z, 1e-6f) << "far plane at far / (far + 1)";
}

TEST_F(CoreRender, DepthSortOrderKeysAndStability) {
    for (int depthFar : {1, 65535}) {
        Fresh(depthFar);
        const float z[] = {0.9f, 0.1f, 0.5f, 0.5f, 1.0f, 0.0f};  // textures 1..6
        for (int i = 0; i < 6; ++i) AddTriangle(i + 1, z[i]);
        ASSERT_EQ(0, Render());
        EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6}), BoundTextures()) << "unsorted: list order";
        nullDevice.calls.clear();
        ASSERT_EQ(0, Render(1));
        EXPECT_EQ((std::vector<int>{5, 1, 3, 4, 2, 6}), BoundTextures()) << "depth range " << depthFar;
        EXPECT_EQ(
            (std::vector<int>{0, 65535, 32768}),
            (std::vector<int>{trx.wctable[16].run.key, trx.wctable[20].run.key, trx.wctable[8].run.key}));
    }
    // Many runs: the order is a stable sort by key, and keys never grow with depth.
    Fresh(1);
    std::mt19937 rng(1234);
    std::vector<std::pair<int, float>> runs;  // header, z
    for (int i = 0; i < 700; ++i) {
        float zr = float(rng() % 4001) / 4000.0f;
        runs.push_back({BeginRun(1, 5, i + 1), zr});
        AddVertexRef(Corner(0, 0, zr), -1, 0, 0);
    }
    ASSERT_EQ(0, Render(1));
    auto key = [](const std::pair<int, float>& r) { return trx.wctable[r.first].run.key; };
    std::vector<int> want(runs.size());
    for (size_t i = 0; i < want.size(); ++i) want[i] = int(i);
    std::stable_sort(want.begin(), want.end(), [&](int a, int b) { return key(runs[a]) < key(runs[b]); });
    for (int& w : want) w += 1;
    EXPECT_EQ(want, BoundTextures());
    std::sort(runs.begin(), runs.end(), [](auto& a, auto& b) { return a.second < b.second; });
    for (size_t i = 1; i < runs.size(); ++i)
        ASSERT_GE(key(runs[i - 1]), key(runs[i])) << "z " << runs[i].second;

    // Without sort memory the frame is drawn in list order.
    Fresh(1);
    AddTriangle(1, 0.1f);
    AddTriangle(2, 0.9f);
    TrxFailAllocations(1, 4);  // the four frame buffers succeed, the sort arrays fail
    ASSERT_EQ(0, Render(1));
    EXPECT_EQ((std::vector<int>{1, 2}), BoundTextures());
}

TEST_F(CoreRender, SpriteSizesFollowPerspective) {
    SetViewport(320, 240, 300, 300, 0);
    Matrix proj, view = Identity();
    MatPerspective(&proj, 0.01f, 20.0f, 0.00016666666f);
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
    } cases[] = {
        {"visible", 9, 1.0f, true, 0.0f},
        {"visible, flag 0x20", 0x29, 1.0f, true, 0.0f},
        {"hidden", 9, 0.25f, false, 0},
        {"hidden, flag 0x20", 0x29, 0.25f, true, 0.5f},
    };
    for (const Case& c : cases) {
        Fresh(1);
        nullDevice.config.readDepth = c.stored;
        AddRun(c.type, 7, {Corner(0.25f, 0.5f, 0.5f)}, 1, 1);
        AddTriangle(2);
        ASSERT_EQ(0, Render()) << c.name;
        std::vector<NullCall> reads = Calls(NULL_READ_DEPTH), draws = Calls(NULL_DRAW);
        ASSERT_EQ(1u, reads.size()) << c.name;
        EXPECT_EQ((std::vector<int>{400, 360, 1}), (std::vector<int>{reads[0].a, reads[0].b, reads[0].c}))
            << c.name;
        ASSERT_EQ(c.drawn ? 2u : 1u, draws.size()) << c.name;
        EXPECT_EQ(1, draws[0].a) << c.name << ": the triangle comes first";
        if (c.drawn) {
            EXPECT_EQ((std::vector<int>{DEV_SPRITE, 1}), (std::vector<int>{draws[1].a, draws[1].b}))
                << c.name;
            EXPECT_EQ(c.z, nullDevice.vertices[3].z) << c.name;
            EXPECT_EQ((std::vector<int>{2, 7}), BoundTextures()) << c.name;
        }
    }
    Fresh(1);
    for (int i = 0; i < 130; ++i) AddRun(0x29, 5, {Corner(0, 0, 0.5f)}, 1, 1);
    ASSERT_EQ(0, Render());
    EXPECT_EQ(128, NullDevice_Count(NULL_DRAW)) << "the queue holds 128 flares";
    std::vector<NullCall> reads = Calls(NULL_READ_DEPTH);
    ASSERT_EQ(128u, reads.size());
    EXPECT_EQ(0, reads[1].c) << "only the first read flushes";
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
        EXPECT_EQ(-2, Render(flags)) << "flags " << flags;
        EXPECT_EQ(1, NullDevice_Count(NULL_DRAW)) << "flags " << flags << ": the runs before it are drawn";
        EXPECT_EQ(1, trx.flareCount) << "flags " << flags << ": queued flares stay queued";
    }
    ClearScene();
    nullDevice.calls.clear();
    AddRun(0x29, 4, {Corner(0, 0, 0.5f)}, 1, 1);
    ASSERT_EQ(0, Render());
    EXPECT_EQ(2, NullDevice_Count(NULL_DRAW)) << "the left-over flare is drawn with the next frame's";

    ClearScene();
    BeginRun(0, 1, 0);
    EXPECT_EXIT(Render(), ::testing::ExitedWithCode(3), "Assertion failed: j>0, file trx, line 760");
    EXPECT_EXIT(Render(1), ::testing::ExitedWithCode(3), "Assertion failed: j>0, file trx, line 760");

    // The first frame allocates four buffers; failing any one of them fails the frame.
    for (int k = 0; k < 4; ++k) {
        FreeScene();
        nullDevice.calls.clear();
        AddTriangle(1);
        TrxFailAllocations(1, k);
        EXPECT_EQ(-1, Render()) << "allocation " << k;
        EXPECT_EQ(0, NullDevice_Count(NULL_DRAW)) << "allocation " << k;
        EXPECT_EQ(0, Render()) << "allocation " << k << ", next frame";
        EXPECT_EQ(1, NullDevice_Count(NULL_DRAW)) << "allocation " << k << ", next frame";
    }
}

TEST_F(CoreRender, NoAllocationAfterTheFirstFrame) {
    Light l{};
    l.position = V4(0, 0, 0.2f);
    l.range = 2;
    l.flags = LIGHT_ENABLED | LIGHT_POINT;
    SetLight(0, &l);
    long before = 0;
    for (int frame = 1; frame <= 4; ++frame) {
        if (frame == 2) before = TrxAllocationCount();
        AnimClockTick(0);
        ClearScene();
        Material emitter{};
        emitter.diffuse[0] = 30;
        emitter.emissive[0] = 1;
        emitter.lightFlags = LIGHT_ENABLED | LIGHT_SPOT | LIGHT_OSCILLATE;
        emitter.flags = MAT_EMITTER | MAT_OSCILLATE;
        int em = AddMaterial(&emitter);
        BeginRun(1, 7, 0);
        AddVertexRef(Corner(0, 0, 0.1f), em, 32, 32);
        for (int i = 0; i < 600; ++i) AddTriangle(i % 7, float(i % 10) / 10.0f);
        AddRun(0x29, 5, {Corner(0, 0, 0.3f)}, 2, 2);
        AddRun(8, 5, {Corner(0.5f, 0, 0.3f)}, 2, 2);
        ASSERT_EQ(0, Render(frame & 1));
    }
    EXPECT_EQ(before, TrxAllocationCount()) << "frames 2 to 4 allocate nothing";
}

}  // namespace
