// synthetic_scene.h: the temple-like scene the render core and the device benchmarks draw.
//
// A floor grid and twenty columns (20,000 vertices, one link each), 10,000 triangles in strips,
// fans and polygons of 3 to 8 vertices with textures 1 to 40, and ten slot lights (six point,
// four spot), seen through the show's projection and viewport. The display device (or the null
// device) must answer its screen queries before SetUpSyntheticScene runs.
#pragma once

#include <cmath>
#include <random>

#include "trx.h"

const int kSceneVertices = 20000, kSceneTriangles = 10000;

// Fills the scene tables; without runs only the vertices and links. Returns the run count.
inline int BuildSyntheticScene(bool withRuns) {
    ClearScene();
    SetInputTransform(nullptr);
    std::mt19937 rng(7);
    Material stone{};
    for (int k = 0; k < 3; ++k) {
        stone.diffuse[k] = 0.8f;
        stone.emissive[k] = 0.05f;
    }
    int mat = AddMaterial(&stone);
    // Floor: 100 x 100 grid, y = 1 (below the eye), z from 2 to 22.
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            Vec4 p = {-10.0f + 0.2f * float(j), 1.0f, 2.0f + 0.2f * float(i), 1.0f};
            Vec4 n = {0, -1, 0, 1};
            AddLink(AddVertex(&p), AddNormal(&n));
        }
    // Twenty columns of 25 rings of 20 vertices.
    for (int c = 0; c < 20; ++c) {
        float cx = (c % 2 ? -4.0f : 4.0f), cz = 3.0f + float(c / 2) * 2.0f;
        for (int ring = 0; ring < 25; ++ring)
            for (int s = 0; s < 20; ++s) {
                float a = float(s) * 0.31415927f;
                Vec4 n = {std::cos(a), 0, std::sin(a), 1};
                Vec4 p = {cx + 0.4f * n.x, 1.0f - 0.16f * float(ring), cz + 0.4f * n.z, 1};
                AddLink(AddVertex(&p), AddNormal(&n));
            }
    }
    int runs = 0;
    if (!withRuns) return 0;
    std::uniform_int_distribution<int> length(3, 8), kind(2, 4), texture(1, 40);
    int triangles = 0, next = 0;
    while (triangles < kSceneTriangles) {
        int count = length(rng);
        int type = kind(rng);
        BeginRun(count, uint32_t(type), texture(rng));
        for (int k = 0; k < count; ++k)
            AddVertexRef((next + k) % kSceneVertices, mat, 0.1f * float(k), 0.5f);
        next = (next + count - 1) % kSceneVertices;
        triangles += count - 2;
        ++runs;
    }
    return runs;
}

// Ambient light, the ten slot lights, viewport, projection and an identity view; then the scene.
inline int SetUpSyntheticScene(Matrix* view, Matrix* projection, bool withRuns) {
    SetAmbient(0.5f);
    SetLightCount(10);
    SetViewport(320, 240, 300, 300, 0);
    MatPerspective(projection, 0.01f, 20.0f, 0.00016666666f);
    MatTranslate(view, 0, 0, 0);
    for (int i = 0; i < 10; ++i) {
        Light l{};
        l.position = {-8.0f + 1.8f * float(i), -0.5f, 3.0f + 1.7f * float(i), 1};
        l.direction = {0, 1, 0, 1};
        l.color[0] = 1;
        l.color[1] = 0.3f;
        l.color[2] = 0.2f;
        l.range = 4.0f;
        l.coneOuter = 0.5f;
        l.coneInner = 0.809f;
        l.flags = i < 6 ? (LIGHT_ENABLED | LIGHT_POINT) : (LIGHT_ENABLED | LIGHT_SPOT);
        SetLight(i, &l);
    }
    return BuildSyntheticScene(withRuns);
}
