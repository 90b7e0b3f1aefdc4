// Object test helpers: heap meshes, keyframes, and a fixture that frees what each test made.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "textures_support.h"
#include "trx_object.h"
#include "trx_state.h"

template <typename T>
T* HeapTable(int n) {
    return n > 0 ? static_cast<T*>(std::calloc(static_cast<size_t>(n), sizeof(T))) : nullptr;
}

// n vertices at (x0 + i, i, 0), a normal and link each, one material, one polygon run (texture 3).
inline Mesh MakeMesh(int n, float x0 = 0) {
    Mesh m = {HeapTable<Material>(1), 1, HeapTable<Vec4>(n),        n,    HeapTable<Vec4>(n), n,
              HeapTable<Link>(n),     n, HeapTable<Command>(n + 1), n + 1};
    m.mtable[0].emissive[0] = x0;
    m.ctable[0].run = RunHeader{0, PRIM_POLYGON, 0, n, 3};
    for (int i = 0; i < n; ++i) {
        m.ntable[i] = Vec4{0, 0, 1, 1};
        m.wtable[i] = Vec4{x0 + i, static_cast<float>(i), 0, 1};
        m.ltable[i] = Link{i, i};
        m.ctable[i + 1].ref = VertexRef{0, i, 0, 0};
    }
    return m;
}

inline KeyInfo Info(int flags, float tx = 0, int sharedFrame = 0) {
    KeyInfo k = {};
    k.flags = flags;
    k.shared_frame = sharedFrame;
    k.translation[0] = tx;
    k.scale[0] = k.scale[1] = k.scale[2] = 1;
    return k;
}

// Keyframes in animation id, meshes offset by 100 x frame, translations 10 x frame.
inline void AddKeys(Object* o, int id, std::initializer_list<int> frames, int n = 3,
                    int flags = 0) {
    ASSERT_TRUE(SelectAnim(o, id, 0) == 0 || AddAnim(o, id) == 0) << "animation " << id;
    for (int f : frames) {
        Mesh m = MakeMesh(n, 100.0f * f);
        KeyInfo i = Info(flags, 10.0f * f);
        ASSERT_EQ(AddKeyframe(o, &m, f, &i), 0) << f;
    }
}

class ObjectTest : public ::testing::Test {
protected:
    Object obj, other;
    void SetUp() override {
        ObjectInit(&obj);
        ObjectInit(&other);
    }
    void TearDown() override {
        FreeObject(&obj);
        FreeObject(&other);
        TrxReset();
    }
};
