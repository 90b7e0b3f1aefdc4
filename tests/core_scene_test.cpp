// Scene tables and render state: growth, reuse, failure, the input transform, the emitter list,
// light slots, the model transform and the animation clock.
#include "core_fixture.h"

namespace {

using CoreScene = CoreTest;

TEST_F(CoreScene, TablesGrowBy256AndAreReused) {
    long before = TrxAllocationCount();
    for (int i = 0; i < 257; ++i) {
        Vec4 v = V4(float(i), 0, 0);
        ASSERT_EQ(i, AddVertex(&v));
        ASSERT_EQ(i < 256 ? 256 : 512, trx.wvcapacity) << "vertex " << i;
    }
    EXPECT_EQ(before + 2, TrxAllocationCount());
    Vec4* memory = trx.wvtable;
    ClearScene();
    Vec4 v = V4(7, 7, 7);
    EXPECT_EQ(0, AddVertex(&v));
    EXPECT_EQ(memory, trx.wvtable);
    EXPECT_EQ(before + 2, TrxAllocationCount()) << "ClearScene keeps the memory";
}

TEST_F(CoreScene, FailedGrowthKeepsTheTable) {
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
        EXPECT_EQ(-1, c.append()) << c.name << " from empty";
        for (int i = 0; i < 256; ++i) ASSERT_EQ(i, c.append()) << c.name;
        TrxFailAllocations(1);
        EXPECT_EQ(-1, c.append()) << c.name << " when full";
        EXPECT_EQ(256, *c.count) << c.name;
        EXPECT_EQ(256, c.append()) << c.name << " after the failure";
    }
    TrxReset();
    BeginRun(1, 1, 0);
    TrxFailAllocations(1);
    EXPECT_EQ(1, BeginRun(1, 7, 0)) << "an emitter list that cannot grow does not fail the header";
}

TEST_F(CoreScene, InputTransformAndRunHeaders) {
    Matrix m = Identity(), t, s;
    Vec4 n = V4(0, 0, 2);
    SetInputTransform(&m);
    int on = AddNormal(&n);
    SetInputTransform(nullptr);
    int off = AddNormal(&n);
    EXPECT_EQ(1.0f, trx.wntable[on].z);
    EXPECT_EQ(2.0f, trx.wntable[off].z) << "untransformed normals are stored as given";

    MatScale(&s, 2, 1, 1);
    MatTranslate(&t, 10, 20, 30);
    MatMul(&s, &t, &m);
    SetInputTransform(&m);
    MatIdentity(&m);  // the transform was copied
    Vec4 p = V4(1, 1, 1), d = V4(1, 1, 0);
    int vi = AddVertex(&p), ni = AddNormal(&d);
    const Vec4 gv = trx.wvtable[vi], gn = trx.wntable[ni];
    EXPECT_EQ((std::vector<float>{12, 21, 31, 1}), (std::vector<float>{gv.x, gv.y, gv.z, gv.w}));
    EXPECT_NEAR(1.0f, std::hypot(gn.x, gn.y), 1e-6f) << "non-uniform scale still gives unit normals";
    EXPECT_NEAR(2.0f, gn.x / gn.y, 1e-6f);

    struct Case {
        uint32_t type;
        int emitters;
    } cases[] = {{7, 1}, {0x29, 0}, {0x17, 1}, {0x00050001, 0}};
    for (const Case& c : cases) {
        ClearScene();
        int h = BeginRun(1, c.type, 3);
        const RunHeader& r = trx.wctable[h].run;
        EXPECT_EQ(c.type & 0xFFFF, r.type) << std::hex << c.type;
        EXPECT_EQ(c.type >> 16, r.key) << std::hex << c.type;
        EXPECT_EQ(c.emitters, trx.ecount) << std::hex << c.type;
    }
}

TEST_F(CoreScene, LightSlotsAndModelTransform) {
    TrxReset();
    ASSERT_EQ(0, SetLightCount(4));
    Matrix id = Identity(), t;
    EXPECT_EQ(0, std::memcmp(&id, &trx.invModel, sizeof id)) << "the first SetLightCount sets the model";
    Light l{}, got;
    l.flags = 3;
    for (int i = 0; i < 4; ++i) SetLight(i, &l);
    ASSERT_EQ(0, SetLightCount(10));
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(0, GetLight(i, &got));
        EXPECT_EQ(i < 4 ? 3 : 0, got.flags) << "slot " << i;
    }
    EXPECT_EQ(1, SetLight(10, &l));
    EXPECT_EQ(1, GetLight(-1, &got));
    EXPECT_EQ(1, SetLightCount(-3));
    TrxFailAllocations(1);
    EXPECT_EQ(1, SetLightCount(20));
    EXPECT_EQ(10, trx.slotCount);

    MatTranslate(&t, 1, 2, 3);
    ASSERT_EQ(0, SetModelTransform(&t, 2));
    EXPECT_EQ(0, std::memcmp(&t, &trx.model, sizeof t));
    EXPECT_EQ(-3.0f, trx.invModel.m[14]);
    ASSERT_EQ(0, SetModelTransform(&t, 1));
    EXPECT_EQ(0, std::memcmp(&id, &trx.model, sizeof id));
    EXPECT_EQ(0, std::memcmp(&t, &trx.invModel, sizeof t));
    EXPECT_EQ(247, SetModelTransform(&id, 3));
    EXPECT_EQ(247, SetModelTransform(nullptr, 2));
    EXPECT_EQ(0, std::memcmp(&t, &trx.invModel, sizeof t)) << "a refused mode changes nothing";
}

TEST_F(CoreScene, AnimClockTick) {
    std::vector<int> got;
    for (int i = 0; i < 3; ++i) got.push_back(AnimClockTick(0));
    for (int i = 0; i < 6; ++i) got.push_back(AnimClockTick(2));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 3, 3, 4, 4, 4, 5}), got);
}

}  // namespace
