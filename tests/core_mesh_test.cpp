// Meshes: saving, appending (bases, texture remap, rollback), taking into use and freeing.
#include "core_fixture.h"

namespace {

using CoreMesh = CoreTest;

// Two materials (the second an emitter), a triangle run with texture 7 (one reference without
// material) and an emitter run with texture 0.
void BuildSmall() {
    Material m{};
    m.emissive[0] = 0.5f;
    AddMaterial(&m);
    m.flags = MAT_EMITTER;
    m.lightFlags = LIGHT_ENABLED | LIGHT_SPOT;
    m.diffuse[0] = 5;
    AddMaterial(&m);
    int a = Corner(0, 0, 0.5f), b = Corner(0.1f, 0, 0.5f), c = Corner(0, 0.1f, 0.5f);
    BeginRun(3, 1, 7);
    AddVertexRef(a, 0, 0.5f, 0.25f);
    AddVertexRef(b, -1, 0, 0);
    AddVertexRef(c, 0, 0, 0);
    BeginRun(1, 7, 0);
    AddVertexRef(a, 1, 32, 32);
}

std::vector<int> Counts() {
    return {trx.wmcount, trx.wncount, trx.wvcount, trx.wlcount, trx.wccount, trx.ecount};
}
std::vector<int> Counts(const Mesh& m) { return {m.mcount, m.ncount, m.wcount, m.lcount, m.ccount}; }

Mesh Saved() {
    BuildSmall();
    Mesh mesh{};
    EXPECT_EQ(0, SaveMesh(&mesh));
    ClearScene();
    return mesh;
}

TEST_F(CoreMesh, SaveCopiesExactlyAndReportsFailure) {
    Mesh mesh = Saved();
    EXPECT_EQ((std::vector<int>{2, 3, 3, 3, 6}), Counts(mesh));
    EXPECT_NE(trx.wvtable, mesh.wtable);
    EXPECT_EQ(0, std::memcmp(trx.wctable, mesh.ctable, 6 * sizeof(Command)));
    BuildSmall();
    for (int k = 0; k < 5; ++k) {
        Mesh failed = mesh;
        TrxFailAllocations(1, k);
        EXPECT_EQ(-1, SaveMesh(&failed)) << "allocation " << k;
        EXPECT_EQ(0, std::memcmp(&failed, &mesh, sizeof mesh)) << "allocation " << k << ": mesh unchanged";
    }
    TrxFailAllocations(0);
    FreeMesh(&mesh);
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0, 0}), Counts(mesh));
}

TEST_F(CoreMesh, AppendBasesAndRemap) {
    Mesh mesh = Saved();
    Vec4 pad = V4(9, 9, 9);
    AddVertex(&pad);  // vertex base differs from the others
    uint16_t remap[8] = {100, 101, 102, 103, 104, 105, 106, 107};
    ASSERT_EQ(0, AppendMesh(&mesh, nullptr, remap, 8));
    ASSERT_EQ(0, AppendMesh(&mesh, nullptr, remap, 8));
    EXPECT_EQ((std::vector<int>{4, 6, 7, 6, 12, 2}), Counts());
    for (int copy = 0; copy < 2; ++copy) {
        const Command* c = &trx.wctable[copy * 6];
        const Link& l = trx.wltable[copy * 3 + 1];
        EXPECT_EQ((std::vector<int>{107, 100, copy * 2, -1, copy * 2 + 1, copy * 3, copy * 3 + 2,
                                    copy * 3 + 2, copy * 3 + 1, copy * 6 + 4}),
                  (std::vector<int>{c[0].run.texture, c[4].run.texture, c[1].ref.material, c[2].ref.material,
                                    c[5].ref.material, c[1].ref.link, c[3].ref.link, l.vertex, l.normal,
                                    trx.emitters[copy]}))
            << "copy " << copy;
    }
    struct Case {
        const uint16_t* table;
        int count, want7, want0;
    } cases[] = {{remap, 8, 107, 100}, {remap, 5, 7, 100}, {nullptr, 8, 7, 0}, {remap, 0, 7, 0}};
    for (const Case& c : cases) {
        ClearScene();
        ASSERT_EQ(0, AppendMesh(&mesh, nullptr, c.table, c.count));
        EXPECT_EQ((std::vector<int>{c.want7, c.want0}),
                  (std::vector<int>{trx.wctable[0].run.texture, trx.wctable[4].run.texture}))
            << "remap count " << c.count;
    }

    // Under a matrix: (0.1, 0, 0.5) turned a quarter about y is (-0.5, 0, 0.1), then moved by (1, 2, 3);
    // the input transform stays on afterwards.
    ClearScene();
    Matrix t, r, m;
    MatTranslate(&t, 1, 2, 3);
    MatRotateY(&r, 1.5707964f);
    MatMul(&r, &t, &m);
    ASSERT_EQ(0, AppendMesh(&mesh, &m, nullptr, 0));
    const Vec4 v = trx.wvtable[1], n = trx.wntable[0];
    EXPECT_NEAR(0, std::fabs(v.x - 0.5f) + std::fabs(v.y - 2) + std::fabs(v.z - 3.1f), 1e-5f)
        << v.x << "," << v.y << "," << v.z;
    EXPECT_NEAR(1.0f, n.x, 1e-6f) << "normal (0, 0, -1) turned to +x";
    EXPECT_TRUE(trx.inputOn);
    FreeMesh(&mesh);
}

TEST_F(CoreMesh, FailedAppendRollsEveryCountBack) {
    // A mesh big enough that every table grows while it is appended.
    for (int i = 0; i < 300; ++i) {
        Material m{};
        AddMaterial(&m);
        int l = Corner(0, 0, 0.5f);
        BeginRun(1, i % 50 == 0 ? 7 : 5, 1);
        AddVertexRef(l, i, 1, 1);
    }
    Mesh big{};
    ASSERT_EQ(0, SaveMesh(&big));
    // Growth order: materials, normals, vertices, links, commands (twice: 6 + 600 entries).
    for (int k = 0; k < 6; ++k) {
        FreeScene();
        BuildSmall();
        TrxFailAllocations(1, k);
        EXPECT_EQ(-1, AppendMesh(&big, nullptr, nullptr, 0)) << "allocation " << k;
        EXPECT_EQ((std::vector<int>{2, 3, 3, 3, 6, 1}), Counts()) << "allocation " << k;
        EXPECT_EQ(0.5f, trx.wmtable[0].emissive[0]);
    }
    TrxFailAllocations(0);
    ASSERT_EQ(0, AppendMesh(&big, nullptr, nullptr, 0));
    EXPECT_EQ((std::vector<int>{302, 303, 303, 303, 606, 7}), Counts());
    EXPECT_EQ(0, Render());
    FreeMesh(&big);
}

TEST_F(CoreMesh, UseAndFreeOwnership) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Mesh mesh = Saved();
    UseMesh(&mesh);
    EXPECT_EQ(mesh.wtable, trx.wvtable);
    EXPECT_EQ((std::vector<int>{2, 3, 3, 3, 6, 1}), Counts()) << "the mesh's emitter run is listed";
    EXPECT_EQ(6, trx.wccapacity);
    EXPECT_EQ(-1, AppendMesh(&mesh, nullptr, nullptr, 0)) << "the scene cannot append itself";
    ASSERT_EQ(0, Render());
    EXPECT_EQ(1, trx.lightCount) << "the emitter defines the only light";
    EXPECT_EQ(1, NullDevice_Count(NULL_DRAW));
    EXPECT_EXIT(FreeMesh(&mesh), ::testing::ExitedWithCode(3),
                "Assertion failed: todestroy->wtable!=wvtable, file trx, line 573");
    Vec4 v = V4(1, 1, 1);
    EXPECT_EQ(3, AddVertex(&v)) << "taken blocks grow like any table";
    EXPECT_EQ(259, trx.wvcapacity);
    UseMesh(nullptr);
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0, 0, 0}), Counts());
    Mesh empty{};
    FreeScene();
    FreeMesh(&empty);  // two null vertex tables are not the same table
    FreeMesh(nullptr);
}

}  // namespace
