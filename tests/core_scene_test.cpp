// Scene tables, render state and meshes (save, append, use, free).
#include <random>

#include "core_fixture.h"

namespace {

using CoreScene = CoreTest;

TEST_F(CoreScene, TablesGrowBy256FailSafelyAndAreReused) {
    static Material mat{};
    static Vec4 vec = V4(1, 2, 3);
    struct Case {
        const char* name;
        int (*append)();
        int32_t* count;
    } cases[] = {
        {"AddMaterial", [] { return AddMaterial(&mat); }, &trx.wmcount},
        {"AddNormal", [] { return AddNormal(&vec); }, &trx.wncount},
        {"AddVertex", [] { return AddVertex(&vec); }, &trx.wvcount},
        {"AddLink", [] { return AddLink(1, 2); }, &trx.wlcount},
        {"BeginRun", [] { return BeginRun(1, 1, 0); }, &trx.wccount},
        {"AddVertexRef", [] { return AddVertexRef(0, 0, 0, 0); }, &trx.wccount},
    };
    for (const Case& c : cases) {
        TrxReset();
        TrxFailAllocations(1);
        const int fromEmpty = c.append();
        for (int i = 0; i < 256; ++i) ASSERT_EQ(i, c.append()) << c.name;
        TrxFailAllocations(1);
        EXPECT_EQ((Ints{fromEmpty, c.append(), *c.count, c.append()}), (Ints{-1, -1, 256, 256}))
            << c.name << ": failing from empty, failing when full, the count, then growing";
    }
    TrxReset();
    BeginRun(1, 1, 0);
    TrxFailAllocations(1);
    EXPECT_EQ(1, BeginRun(1, 7, 0)) << "an emitter list that cannot grow does not fail the header";
}

TEST_F(CoreScene, InputTransformSlotsAndClock) {
    Matrix m, t, s;
    Vec4 n = V4(0, 0, 2), p = V4(1, 1, 1), d = V4(1, 1, 0);
    AddNormal(&n);
    EXPECT_EQ(2.0f, trx.wntable[0].z) << "untransformed normals are stored as given";
    MatScale(&s, 2, 1, 1);
    MatTranslate(&t, 10, 20, 30);
    MatMul(&s, &t, &m);
    SetInputTransform(&m);
    MatIdentity(&m);  // the transform was copied
    const int vi = AddVertex(&p), ni = AddNormal(&d);
    const Vec4 gv = trx.wvtable[vi], gn = trx.wntable[ni];
    EXPECT_EQ(Xyzw(V4(12, 21, 31)), Xyzw(gv));
    EXPECT_NEAR(1.0f, std::hypot(gn.x, gn.y), 1e-6f) << "non-uniform scale, unit normals";
    EXPECT_NEAR(2.0f, gn.x / gn.y, 1e-6f);

    Light l = MakeLight(p, 1, 0), kept, added;
    for (int i = 0; i < 10; ++i) SetLight(i, &l);
    ASSERT_EQ(0, SetLightCount(12));
    // Growing keeps slot 9's light, slot 11 is empty; bad slots and counts are refused.
    EXPECT_EQ(GetLight(9, &kept), 0);
    EXPECT_EQ(kept.flags, LIGHT_ENABLED) << "slot 9";
    EXPECT_EQ(GetLight(11, &added), 0);
    EXPECT_EQ(added.flags, 0) << "slot 11";
    EXPECT_EQ(SetLight(12, &l), 1) << "slot 12, past the count";
    EXPECT_EQ(GetLight(-1, &kept), 1) << "slot -1";
    EXPECT_EQ(SetLightCount(-3), 1) << "count -3";
    TrxFailAllocations(1);
    EXPECT_EQ((Ints{SetLightCount(20), trx.slotCount}), (Ints{1, 12}));
    // Mode 1 takes the matrix as the inverse (mode 2 is covered by the lighting tests).
    MatTranslate(&t, 1, 2, 3);
    ASSERT_EQ(0, SetModelTransform(&t, 1));
    EXPECT_EQ(0, std::memcmp(&t, &trx.invModel, sizeof t));
    EXPECT_EQ(std::pair(1.0f, 0.0f), std::pair(trx.model.m[0], trx.model.m[12]));
    EXPECT_EQ(std::pair(SetModelTransform(&s, 3), SetModelTransform(nullptr, 2)),
              std::pair(247, 247))
        << "mode 3, no matrix";
    EXPECT_EQ(0, std::memcmp(&t, &trx.invModel, sizeof t)) << "a refused mode changes nothing";

    std::vector<int> ticks;
    for (int i = 0; i < 9; ++i) ticks.push_back(AnimClockTick(i < 3 ? 0 : 2));
    EXPECT_EQ((Ints{1, 2, 3, 3, 3, 4, 4, 4, 5}), ticks);
}

using CoreMesh = CoreTest;

// Two materials, the second an emitter; a triangle run (texture 7) and an emitter run (texture 0).
void BuildSmall() {
    Material m{};
    m.emissive[0] = 0.5f;
    AddMaterial(&m);
    m.flags = MAT_EMITTER, m.lightFlags = LIGHT_ENABLED | LIGHT_SPOT, m.diffuse[0] = 5;
    AddMaterial(&m);
    const int a = Corner(0, 0, 0.5f), b = Corner(0.1f, 0, 0.5f), c = Corner(0, 0.1f, 0.5f);
    BeginRun(3, 1, 7);
    for (auto [link, mat] : {std::pair{a, 0}, {b, -1}, {c, 0}})
        AddVertexRef(link, mat, 0.5f, 0.25f);
    BeginRun(1, 7, 0);
    AddVertexRef(a, 1, 32, 32);
}

// Table sizes, named: of the scene's tables (with its emitters) or of a saved mesh.
std::string Sizes(int m, int n, int v, int l, int c) {
    return "materials " + std::to_string(m) + ", normals " + std::to_string(n) + ", vertices " +
           std::to_string(v) + ", links " + std::to_string(l) + ", commands " + std::to_string(c);
}
std::string Counts() {
    return Sizes(trx.wmcount, trx.wncount, trx.wvcount, trx.wlcount, trx.wccount) + ", emitters " +
           std::to_string(trx.ecount);
}

TEST_F(CoreMesh, AppendBasesRemapAndMatrix) {
    BuildSmall();
    Mesh mesh{};
    ASSERT_EQ(0, SaveMesh(&mesh));
    ClearScene();
    Vec4 pad = V4(9, 9, 9);
    AddVertex(&pad);  // vertex base differs from the others
    uint16_t remap[8] = {100, 101, 102, 103, 104, 105, 106, 107};
    ASSERT_EQ(0, AppendMesh(&mesh, nullptr, remap, 8));
    ASSERT_EQ(0, AppendMesh(&mesh, nullptr, remap, 8));
    EXPECT_EQ(Counts(), "materials 4, normals 6, vertices 7, links 6, commands 12, emitters 2");
    for (int copy = 0; copy < 2; ++copy) {
        const Command* c = &trx.wctable[copy * 6];
        const Link& l = trx.wltable[copy * 3 + 1];
        const int m = copy * 2, k = copy * 3;
        SCOPED_TRACE("copy " + std::to_string(copy));
        EXPECT_EQ(c[0].run.texture, 107) << "texture 7 remapped";
        EXPECT_EQ(c[4].run.texture, 100) << "texture 0 remapped";
        EXPECT_EQ(c[1].ref.material, m);
        EXPECT_EQ(c[2].ref.material, -1) << "no material stays none";
        EXPECT_EQ(c[5].ref.material, m + 1);
        EXPECT_EQ(c[1].ref.link, k);
        EXPECT_EQ(c[3].ref.link, k + 2);
        EXPECT_EQ(l.vertex, k + 2) << "vertices after the pad";
        EXPECT_EQ(l.normal, k + 1);
        EXPECT_EQ(trx.emitters[copy], copy * 6 + 4) << "the emitter run";
    }
    struct Case {
        const uint16_t* table;
        int count, want7, want0;
    } cases[] = {{remap, 5, 7, 100}, {nullptr, 8, 7, 0}, {remap, 0, 7, 0}};
    for (const Case& c : cases) {
        ClearScene();
        ASSERT_EQ(0, AppendMesh(&mesh, nullptr, c.table, c.count));
        EXPECT_EQ(std::pair(trx.wctable[0].run.texture, trx.wctable[4].run.texture),
                  std::pair(c.want7, c.want0))
            << "textures 7 and 0, remap count " << c.count;
    }
    // (0.1, 0, 0.5) turned a quarter about y, then moved by (1, 2, 3); the transform stays on.
    ClearScene();
    Matrix t, r, m;
    MatTranslate(&t, 1, 2, 3);
    MatRotateY(&r, 1.5707964f);
    MatMul(&r, &t, &m);
    ASSERT_EQ(0, AppendMesh(&mesh, &m, nullptr, 0));
    const Vec4 v = trx.wvtable[1];
    EXPECT_NEAR(0, std::fabs(v.x - 0.5f) + std::fabs(v.y - 2) + std::fabs(v.z - 3.1f), 1e-5f)
        << v.x << "," << v.y << "," << v.z;
    EXPECT_NEAR(1.0f, trx.wntable[0].x, 1e-6f) << "normal (0, 0, -1) turned to +x";
    EXPECT_TRUE(trx.inputOn);
    FreeMesh(&mesh);
}

// The four-at-a-time AppendMesh and AddBlendedVertices match AddNormal / AddVertex bit for bit.
TEST_F(CoreMesh, BulkAppendMatchesOneByOne) {
    std::mt19937 rng(31);
    std::uniform_real_distribution<float> any(-3, 3);
    auto v4 = [&](float w) { return Vec4{any(rng), any(rng), any(rng), w}; };
    for (int n : {0, 1, 3, 4, 5, 8, 13, 1001}) {
        ClearScene();
        SetInputTransform(nullptr);
        for (int i = 0; i < n; ++i) {
            Vec4 normal = i == 2 ? Vec4{0, 0, 0, 1} : v4(i % 3 ? 1.0f : any(rng)), p = v4(1);
            AddNormal(&normal);
            AddVertex(&p);
        }
        Mesh a{}, b{};
        ASSERT_EQ(0, SaveMesh(&a));
        ClearScene();
        for (int i = 0; i < n; ++i) {
            Vec4 p = v4(any(rng));
            AddVertex(&p);
        }
        ASSERT_EQ(0, SaveMesh(&b));
        Matrix m, r, sc;
        MatRotateY(&r, any(rng));
        MatScale(&sc, 1.5f, 0.5f, 2);
        MatMul(&r, &sc, &m);
        m.m[12] = any(rng), m.m[13] = any(rng), m.m[3] = 0.25f;
        for (const Matrix* matrix : std::initializer_list<const Matrix*>{&m, nullptr}) {
            const float t = 0.3f;
            ClearScene();
            Vec4 pad{1, 2, 3, 1};
            AddVertex(&pad);
            ASSERT_EQ(0, AppendMesh(&a, matrix, nullptr, 0));
            ASSERT_EQ(1 + n, AddBlendedVertices(a.wtable, b.wtable, t, n));
            const std::vector<Vec4> gotN(trx.wntable, trx.wntable + n),
                gotV(trx.wvtable + 1, trx.wvtable + 1 + 2 * n);
            const char* which = matrix ? "with a matrix" : "without";
            ClearScene();
            SetInputTransform(matrix);
            for (int i = 0; i < n; ++i) AddNormal(&a.ntable[i]);
            for (int i = 0; i < n; ++i) AddVertex(&a.wtable[i]);
            for (int i = 0; i < n; ++i) {
                const Vec4 &p = a.wtable[i], &q = b.wtable[i];
                const Vec4 blend{(1 - t) * p.x + t * q.x, (1 - t) * p.y + t * q.y,
                                 (1 - t) * p.z + t * q.z, (1 - t) * p.w + t * q.w};
                AddVertex(&blend);
            }
            auto same = [](const std::vector<Vec4>& got, const Vec4* want) {
                return got.empty() || std::memcmp(got.data(), want, got.size() * sizeof(Vec4)) == 0;
            };
            EXPECT_TRUE(same(gotN, trx.wntable)) << n << " normals " << which;
            EXPECT_TRUE(same(gotV, trx.wvtable)) << n << " vertices " << which;
        }
        FreeMesh(&a);
        FreeMesh(&b);
    }
}

TEST_F(CoreMesh, FailedAppendRollsEveryCountBack) {
    // A mesh big enough that every table grows while it is appended.
    for (int i = 0; i < 300; ++i) {
        Material m{};
        AddMaterial(&m);
        BeginRun(1, i % 50 == 0 ? 7 : 5, 1);
        AddVertexRef(Corner(0, 0, 0.5f), i, 1, 1);
    }
    Mesh big{};
    ASSERT_EQ(0, SaveMesh(&big));
    // The append grows materials, normals, vertices, links, commands, in that order.
    for (int k = 0; k < 5; ++k) {
        FreeScene();
        BuildSmall();
        TrxFailAllocations(1, k);
        EXPECT_EQ(-1, AppendMesh(&big, nullptr, nullptr, 0)) << "allocation " << k;
        EXPECT_EQ(Counts(), "materials 2, normals 3, vertices 3, links 3, commands 6, emitters 1")
            << "allocation " << k;
        EXPECT_EQ(0.5f, trx.wmtable[0].emissive[0]);
    }
    TrxFailAllocations(0);
    ASSERT_EQ(0, AppendMesh(&big, nullptr, nullptr, 0));
    EXPECT_EQ(Counts(),
              "materials 302, normals 303, vertices 303, links 303, commands 606, emitters 7");
    EXPECT_EQ(0, Render());
    FreeMesh(&big);
}

TEST_F(CoreMesh, SaveUseAndFree) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    BuildSmall();
    Mesh mesh{}, copy{}, failed{};
    TrxFailAllocations(1, 4);  // the last of five: the leak checker sees the other four kept
    EXPECT_EQ(-1, SaveMesh(&failed));
    EXPECT_EQ(0, std::memcmp(&failed, &copy, sizeof copy))
        << "a failed save leaves the mesh unchanged";
    ASSERT_EQ(0, SaveMesh(&mesh));
    ASSERT_EQ(0, SaveMesh(&copy));
    EXPECT_EQ(Sizes(mesh.mcount, mesh.ncount, mesh.wcount, mesh.lcount, mesh.ccount),
              "materials 2, normals 3, vertices 3, links 3, commands 6");
    EXPECT_EQ(0, std::memcmp(trx.wctable, mesh.ctable, 6 * sizeof(Command)));
    FreeMesh(&copy);
    EXPECT_EQ(std::pair(copy.wcount, copy.ccount), std::pair(0, 0));
    ClearScene();
    UseMesh(&mesh);
    EXPECT_EQ(mesh.wtable, trx.wvtable);
    EXPECT_EQ(Counts(), "materials 2, normals 3, vertices 3, links 3, commands 6, emitters 1")
        << "the mesh's emitter run is listed";
    EXPECT_EQ(trx.wccapacity, 6);
    EXPECT_EQ(-1, AppendMesh(&mesh, nullptr, nullptr, 0)) << "the scene cannot append itself";
    ASSERT_EQ(0, Render());
    EXPECT_EQ(std::pair(trx.lightCount, NullDevice_Count(NULL_DRAW)), std::pair(1, 1))
        << "the emitter is the only light, the triangle run the only draw";
    EXPECT_EXIT(FreeMesh(&mesh), ::testing::ExitedWithCode(3),
                "Assertion failed: todestroy->wtable!=wvtable, file trx, line 573");
    Vec4 v = V4(1, 1, 1);
    EXPECT_EQ((std::pair{AddVertex(&v), trx.wvcapacity}), std::pair(3, 259))
        << "taken blocks grow like any table";
    UseMesh(nullptr);
    EXPECT_EQ(Counts(), "materials 0, normals 0, vertices 0, links 0, commands 0, emitters 0");
    Mesh empty{};
    FreeScene();
    FreeMesh(&empty);  // two null vertex tables are not the same table
    FreeMesh(nullptr);
}

}  // namespace
