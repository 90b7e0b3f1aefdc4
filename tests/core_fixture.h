// core_fixture.h: a fresh render core on a 640 x 480 null device, and small scene builders.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "dev_null.h"
#include "trx.h"
#include "trx_state.h"

using Ints = std::vector<int>;

inline Vec4 V4(float x, float y, float z, float w = 1.0f) { return Vec4{x, y, z, w}; }
inline std::vector<float> Xyzw(const Vec4& v) { return {v.x, v.y, v.z, v.w}; }

inline Matrix Identity() {
    Matrix m;
    MatIdentity(&m);
    return m;
}

// The demo's projection: near 0.01, far 20, a quarter turn wide.
inline Matrix DemoProjection() {
    Matrix p;
    MatPerspective(&p, 0.01f, 20.0f, 0.00016666666f);
    return p;
}

// A white light shining down -z, spot cone cosines 0.5 (outer) and 0.809 (inner).
inline Light MakeLight(Vec4 pos, float range, int flags) {
    return Light{pos, V4(0, 0, -1), {1, 1, 1}, {},     {},
                 0,   range,        0.5f,      0.809f, LIGHT_ENABLED | flags};
}

// A vertex with its own normal and link; returns the link.
inline int Corner(float x, float y, float z, Vec4 normal = V4(0, 0, -1)) {
    Vec4 p = V4(x, y, z);
    int v = AddVertex(&p);
    return AddLink(v, AddNormal(&normal));
}

// A run of references without material.
inline void AddRun(uint32_t type, int texture, std::initializer_list<int> links, float v = 0,
                   float u = 0) {
    BeginRun(static_cast<int>(links.size()), type, texture);
    for (int l : links) AddVertexRef(l, -1, v, u);
}

// Renders with identity view and projection.
inline int Render(int flags = 0) {
    Matrix i = Identity();
    return RenderFrame(&i, &i, flags);
}

class CoreTest : public ::testing::Test {
public:
    void SetUp() override { Fresh(1); }
    void TearDown() override { TrxReset(); }

    static void Fresh(int depthFar) {
        TrxReset();
        NullDeviceConfig cfg;
        cfg.depthFar = depthFar;
        NullDevice_Reset(cfg);
        nullDevice.open = true;
        nullDevice.width = nullDevice.clip[1] = 640;
        nullDevice.height = nullDevice.clip[3] = 480;
        SetLightCount(10);
        SetViewport(320, 240, 640, 480, 0);
        nullDevice.calls.clear();
    }
};
