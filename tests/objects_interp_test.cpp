// Drawing objects: matrices, morphing, end reports, transitions, clocked playback, point matrices.
#include <cmath>

#include "objects_support.h"

// The x translation of the interpolated keyframe matrix (RenderObject mode 1, which succeeds).
static float MatrixX(Object* o) {
    Matrix m;
    MatIdentity(&m);
    EXPECT_EQ(RenderObject(o, &m, 1), 0);
    return m.m[12];
}

TEST_F(ObjectTest, KeyframeMatrices) {
    AddKeys(&obj, 0, {0, 4, 8}, 3, KEY_TRANSLATE);  // translations 0, 40, 80
    SetAnimSpan(&obj, 12);
    SetAnimLength(&obj, 12);
    SelectAnim(&obj, 0, 0);
    const struct {
        int frame;
        float x;
    } cases[] = {{0, 0}, {2, 20}, {4, 40}, {7, 70}, {8, 80}, {10, 40}, {11, 20}};
    for (auto& c : cases) {
        SetFrame(&obj, c.frame);
        EXPECT_NEAR(MatrixX(&obj), c.x, 1e-4) << "frame " << c.frame << " (the last blends to 0)";
    }
    obj.anims->keys->flags |= KEY_EASE;
    SetFrame(&obj, 1);
    EXPECT_NEAR(MatrixX(&obj) / 40, 0.14644, 1e-4) << "eased t = 0.25";
    EXPECT_EQ(RenderObject(&obj, nullptr, 1), OBJ_NO_MATRIX);
    // Scale, then X, Y, Z rotations, then translation.
    Keyframe k = {};
    k.flags = KEY_SCALE | KEY_ROTATE_Z | KEY_TRANSLATE;
    k.scale[0] = k.scale[1] = k.scale[2] = 2;
    k.rotation[2] = 1.5707963f, k.translation[0] = 5;
    Matrix m;
    ASSERT_TRUE(KeyTransform(&k, &k, &m, 0.3f));
    Vec4 p = {1, 0, 0, 1};
    TransformPoint(&m, &p, &p);
    EXPECT_NEAR(std::fabs(p.x - 5) + std::fabs(p.y - 2), 0, 1e-5f) << p.x << "," << p.y;
}

TEST_F(ObjectTest, DrawingMorphsAndReportsTheEnd) {
    AddKeys(&obj, 0, {0, 2}, 3);  // vertices x = 0..2, then 200..202
    SetAnimLength(&obj, 4);
    SetAnimFlags(&obj, ANIM_REPORT_END, 0);
    SelectAnim(&obj, 0, 0);
    SetFrame(&obj, 2);
    EXPECT_EQ(RenderObject(&obj, nullptr, 0), 0);
    ASSERT_EQ(std::pair(trx.wvcount, trx.wccount), std::pair(3, 4));
    EXPECT_FLOAT_EQ(trx.wvtable[1].x, 101) << "halfway between the keyframes";
    const int cases[][3] = {
        {3, 0, OBJ_END}, {0, 0, 0}, {0, -1, OBJ_END}, {3, -1, 0}};  // frame, direction, result
    for (auto& c : cases) {
        SelectAnim(&obj, 0, static_cast<int8_t>(c[1]));
        SetFrame(&obj, c[0]);
        EXPECT_EQ(RenderObject(&obj, nullptr, 0), c[2])
            << "frame " << c[0] << " direction " << c[1];
    }
    // Different vertex counts draw the earlier mesh; without transforms mode 1 leaves the matrix.
    AddKeys(&obj, 1, {0}, 3);
    Mesh big = MakeMesh(5, 900);
    AddKeyframe(&obj, &big, 2, nullptr);
    SelectAnim(&obj, 1, 0);
    SetFrame(&obj, 1);
    ClearScene();
    EXPECT_EQ(RenderObject(&obj, nullptr, 0), 0);
    ASSERT_EQ(trx.wvcount, 3);
    EXPECT_EQ(trx.wvtable[2].x, 2) << "the earlier mesh";
    Matrix m = {};
    m.m[13] = 3;
    const Matrix before = m;
    EXPECT_EQ(RenderObject(&obj, &m, 1), OBJ_NO_TRANSFORM);
    EXPECT_EQ(std::memcmp(&m, &before, sizeof m), 0);
    EXPECT_EQ(MorphMesh(&big, &big, 0.5f, nullptr, nullptr, 0), OBJ_SAME_MESH);
}

TEST_F(ObjectTest, TransitionWindowBlendsOverItsFrames) {
    AddKeys(&obj, 0, {0, 10}, 3, KEY_TRANSLATE);  // translations 0, 100
    AddKeys(&obj, 3, {0, 10}, 3, KEY_TRANSLATE);
    obj.anim->keys->translation[0] = 50;  // the first pose of animation 3
    SetAnimLength(&obj, 10);
    SelectAnim(&obj, 0, 0);
    SetFrame(&obj, 5);
    for (int i = 0; i < 20; ++i) {  // the show's pattern: StartTransition, draw, NextFrame
        ASSERT_EQ(StartTransition(&obj, 3, 20), 0);
        EXPECT_NEAR(MatrixX(&obj), 50.0f * i / 20, 1e-3) << "window frame " << i;
        ASSERT_EQ(NextFrame(&obj), 0);
    }
    EXPECT_EQ((std::vector<int>{obj.flags & OBJ_TRANSITION, obj.anim_id, obj.frame}),
              (std::vector<int>{0, 3, 0}));
    EXPECT_NEAR(MatrixX(&obj), 50, 1e-3);
    EXPECT_EQ(StartTransition(&other, 3, 5), OBJ_NO_KEY);
}

TEST_F(ObjectTest, ClockDrivenPlayback) {
    // The object clock advances every n + 1 calls: a second and a third call at n = 2, then n = 0.
    const int32_t c0 = ObjectClockTick(2);
    EXPECT_EQ((std::vector<int32_t>{ObjectClockTick(2), ObjectClockTick(2), ObjectClockTick(0),
                                    ObjectClockValue()}),
              (std::vector<int32_t>{c0, c0, c0 + 1, c0 + 1}));
    AddKeys(&obj, 0, {0, 5});
    SetAnimLength(&obj, 10);
    SelectAnim(&obj, 0, 0);
    obj.flags |= OBJ_CLOCKED | OBJ_TICK_SCALE;
    obj.ticks_per_frame = 1.5f;
    obj.tick_mark = ObjectClockValue();
    const int cases[][3] = {{4, 2, 1}, {13, 1, 1}};  // ticks, frame after, ticks left unused
    for (auto& c : cases) {
        for (int i = 0; i < c[0]; ++i) ObjectClockTick(0);
        EXPECT_EQ((std::vector<int>{RenderObject(&obj, nullptr, 0), obj.frame,
                                    ObjectClockValue() - obj.tick_mark}),
                  (std::vector<int>{0, c[1], c[2]}))
            << c[0] << " ticks (frames wrap at 10)";
    }
}

TEST_F(ObjectTest, PointMatrix) {
    AddKeys(&obj, 0, {0, 2}, 4, KEY_TRANSLATE);
    SetAnimLength(&obj, 4);
    SelectAnim(&obj, 0, 0);
    SetFrame(&obj, 2);                                           // t = 0.5
    obj.anims->keys->next->mesh.wtable[1] = Vec4{202, 2, 0, 2};  // stands for (101, 1, 0)
    obj.anims->keys->point_base = 1;  // point 1: link 2 on the first keyframe, 1 on the second
    Matrix out, place;
    MatTranslate(&place, 0, 0, 7);
    ASSERT_EQ(GetPointMatrix(&obj, 1, &place, &out), 0);
    // Halfway between (2, 2, 0) and (101, 1, 0), moved by 10 and placed at z 7.
    EXPECT_EQ((std::vector<float>{out.m[12], out.m[13], out.m[14]}),
              (std::vector<float>{61.5f, 1.5f, 7}));
    for (int point : {3, -1})  // 3: link 4 of 4 on the first keyframe
        EXPECT_EQ(GetPointMatrix(&obj, point, nullptr, &out), OBJ_NO_TRANSFORM) << point;
}
