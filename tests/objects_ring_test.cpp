// Objects: keyframe rings, frame stepping, reference counts, animation removal.
#include <vector>

#include "objects_support.h"

static std::vector<int> Ring(const Anim* a) {
    std::vector<int> v;
    for (const Keyframe* k = a->keys; k && v.size() < 100 && (v.empty() || k != a->keys);
         k = k->next)
        v.push_back(k->frame);
    return v;
}

TEST_F(ObjectTest, RingOrderReplacementAndSpan) {
    EXPECT_EQ(SetAnimSpan(&obj, 5), OBJ_NO_CURRENT);
    ASSERT_EQ(AddAnim(&obj, 0), 0);
    EXPECT_EQ(AddAnim(&obj, 0), OBJ_ANIM_EXISTS);
    EXPECT_EQ(SetAnimSpan(&obj, 40), 0) << "no keyframes: any span";
    AddKeys(&obj, 0, {10, 0, 5});
    EXPECT_EQ(Ring(obj.anim), (std::vector<int>{0, 5, 10}));
    EXPECT_EQ(SetAnimSpan(&obj, 10), OBJ_BAD_FRAME);
    EXPECT_EQ(obj.anim->span, 40);
    Keyframe* five = obj.anims->keys->next;
    Mesh m = MakeMesh(7);
    KeyInfo i = Info(KEY_TRANSLATE, 2.5f);
    ASSERT_EQ(AddKeyframe(&obj, &m, 5, &i), 0);
    EXPECT_EQ(m.wtable, nullptr) << "the keyframe takes the mesh over";
    EXPECT_EQ(Ring(obj.anim), (std::vector<int>{0, 5, 10}));
    EXPECT_EQ(obj.anims->keys->next, five) << "replaced in place";
    EXPECT_EQ(std::pair(five->mesh.wcount, five->translation[0]), std::pair(7, 2.5f));
    // Shared-mesh keyframes: the source must exist; the caller keeps its mesh.
    Mesh keep = MakeMesh(2);
    KeyInfo s = Info(KEY_SHARED, 0, 5);
    ASSERT_EQ(AddKeyframe(&obj, &keep, 7, &s), 0);
    EXPECT_NE(keep.wtable, nullptr);
    EXPECT_EQ(obj.anims->keys->next->next->shared, five);
    s.shared_frame = 6;
    EXPECT_EQ(AddKeyframe(&obj, &keep, 8, &s), OBJ_NO_SHARED);
    FreeMesh(&keep);
    EXPECT_EQ(Ring(obj.anim), (std::vector<int>{0, 5, 7, 10}));
}

TEST_F(ObjectTest, SetFrameMapsFramesToKeyTime) {
    AddKeys(&obj, 0, {0, 4, 7, 9});
    SetAnimSpan(&obj, 10);
    SetAnimLength(&obj, 20);
    SelectAnim(&obj, 0, 0);
    const int cases[][2] = {{15, 7}, {0, 0}, {8, 4}, {19, 9},
                            {13, 4}, {1, 0}, {18, 9}};  // frame, key
    for (auto& c : cases) {
        ASSERT_EQ(SetFrame(&obj, c[0]), 0) << c[0];
        EXPECT_EQ(obj.key->frame, c[1]) << "frame " << c[0];
    }
    EXPECT_EQ((std::vector<int>{SetFrame(&obj, 20), SetFrame(&obj, -1), obj.frame}),
              (std::vector<int>{OBJ_BAD_FRAME, OBJ_BAD_FRAME, 18}));
    obj.anim_id = 4;
    EXPECT_EQ(SetFrame(&obj, 1), OBJ_WRONG_ID);
    ASSERT_EQ(AddAnim(&obj, 1), 0);
    EXPECT_EQ(SetFrame(&obj, 0), OBJ_BAD_FRAME) << "no keyframes";
    AddKeys(&obj, 1, {3, 6});
    ASSERT_EQ(SetFrame(&obj, 1), 0);
    EXPECT_EQ(obj.key->frame, 3) << "key times before the first keyframe select it";
}

TEST_F(ObjectTest, NextFrameWrapsOrStopsAndSelectAnimBackwards) {
    AddKeys(&obj, 0, {0, 2});
    SetAnimSpan(&obj, 4);
    SetAnimLength(&obj, 4);
    EXPECT_EQ(SelectAnim(&obj, 9, 0), OBJ_NO_ANIM);
    ASSERT_EQ(SelectAnim(&obj, 0, -1), 0);
    // Frame and key after selecting backwards, then a wrapping step, then a step that stops.
    std::vector<int> got = {obj.frame, obj.key->frame, NextFrame(&obj), obj.frame, obj.key->frame};
    SetFrame(&obj, 3);
    SetAnimFlags(&obj, ANIM_ONCE | 8, 8);
    got.insert(got.end(), {NextFrame(&obj), obj.frame, obj.anim->flags});
    EXPECT_EQ(got, (std::vector<int>{3, 2, 0, 0, 0, OBJ_END, 3, ANIM_ONCE | 8}));
    ScaleAnimLengths(&obj, 2500);
    EXPECT_EQ(obj.anim->length, 10);
}

TEST_F(ObjectTest, SharedModelsAndRemapTablesAreReleasedOnce) {
    AddKeys(&obj, 0, {0, 1});
    uint16_t table[3] = {7, 8, 9};
    ASSERT_EQ(SetRemapTable(&obj, table, 3, true), 0);
    EXPECT_NE(obj.remap, table);
    ASSERT_EQ(CopyObject(&obj, &other), 0);
    EXPECT_EQ(obj.anims->refs, 2);
    EXPECT_NE(other.remap, obj.remap) << "each object owns a copy";
    EXPECT_EQ(other.remap[2], 9);
    EXPECT_EQ(FreeObject(&obj), 0);
    EXPECT_EQ(other.anims->keys->next->frame, 1) << "the model lives on";
    EXPECT_EQ(FreeObject(&other), OBJ_RELEASED);
    EXPECT_EQ(FreeObject(&other), 0) << "an empty object";
}

TEST_F(ObjectTest, DeleteAnim) {
    AddKeys(&obj, 1, {0, 5});
    AddKeys(&obj, 2, {0, 3, 6});
    AddKeys(&obj, 3, {0});
    ASSERT_EQ(CopyObject(&obj, &other), 0);
    EXPECT_EQ(DeleteAnim(&obj, 9), OBJ_NO_ANIM);
    EXPECT_EQ(DeleteAnim(&obj, 2), 0);
    Anim* first = obj.anims;
    EXPECT_EQ(DeleteAnim(&obj, 1), 0);
    EXPECT_EQ(obj.anims, first) << "the first record keeps its address";
    EXPECT_EQ(std::pair(first->id, first->refs), std::pair(3, 2));
    EXPECT_EQ(first->next, nullptr);
    EXPECT_EQ(obj.anim, first) << "the current animation followed its record";
    EXPECT_EQ(DeleteAnim(&obj, 3), OBJ_LAST_ANIM);
    EXPECT_EQ(first->keys, nullptr);
    EXPECT_EQ(SetFrame(&obj, 0), OBJ_NO_CURRENT);
}
