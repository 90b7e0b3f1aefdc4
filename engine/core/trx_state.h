// trx_state.h: the render core's one state record, for the core's own sources, its tests and its
// benchmarks. The application and the other modules use trx.h only.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "trx.h"

// One LightCache record per link: the light sum of the frame whose stamp it carries.
struct LightCacheRecord {
    float r, g, b;
    int32_t stamp;
};

// A queued flare: its screen vertex, texture and flag byte (run flags | 9; 0 = not drawn).
struct FlareRecord {
    DeviceVertex vertex;
    int32_t texture;
    uint8_t flags;
};

enum { TRX_GROW = 256, TRX_BATCH = 128, TRX_MAX_RUN = 127, TRX_FLARES = 128 };

struct TrxState {
    // The five scene tables: count used, capacity allocated.
    Material* wmtable;
    int32_t wmcount, wmcapacity;
    Vec4* wntable;
    int32_t wncount, wncapacity;
    Vec4* wvtable;
    int32_t wvcount, wvcapacity;
    Link* wltable;
    int32_t wlcount, wlcapacity;
    Command* wctable;
    int32_t wccount, wccapacity;
    // Command-list indexes of the type 7 run headers.
    int32_t* emitters;
    int32_t ecount, ecapacity;

    // Light slots, written by the application.
    Light* slots;
    int32_t slotCount, slotCapacity;
    bool slotsSized;  // SetLightCount has run once

    // Render state.
    Matrix input;
    bool inputOn;
    Matrix model, invModel;
    float ambient;
    int32_t animClock, animSub;
    ShadowCallback shadow;

    // Viewport and the frame's matrices.
    Matrix viewport, modelView, projViewport, combined;
    Matrix projection;  // the last projection passed to RenderFrame (sprite sizes)
    float halfWidth, halfHeight;
    float depthMin, depthMax;  // of the current frame
    float clipX0, clipX1, clipY0, clipY1;

    // Per-frame buffers, reused from frame to frame.
    Vec4* tvtable;  // transformed x, y, z, rhw per vertex
    int32_t tvcapacity;
    uint8_t* outcodes;  // two per byte, even vertex in the low nibble
    int32_t occapacity;
    Light* lights;  // this frame's lights in model space
    int32_t lightCount, lightCapacity;
    LightCacheRecord* cache;
    int32_t cacheCapacity;
    int32_t frameStamp;
    int32_t* sortRuns;  // two arrays of run header indexes, runs + 1 entries each
    int32_t* sortTemp;
    int32_t sortCapacity;
    uint32_t histLow[256], histHigh[256];
    DeviceVertex batch[TRX_BATCH];
    FlareRecord flares[TRX_FLARES];
    int16_t flareCount;
};

extern TrxState trx;

// All of the core's heap blocks go through these two (malloc family, so blocks made elsewhere,
// e.g. by the model file reader, can be handed over and freed with free).
void* TrxRealloc(void* block, size_t bytes);
void TrxFree(void* block);

// A point under the input transform, as AddVertex stores it (inline for the bulk appends).
inline Vec4 TrxInputPoint(const Vec4& v) {
    if (!trx.inputOn) return v;
    const float* e = trx.input.m;
    return Vec4{v.x * e[0] + v.y * e[4] + v.z * e[8] + v.w * e[12],
                v.x * e[1] + v.y * e[5] + v.z * e[9] + v.w * e[13],
                v.x * e[2] + v.y * e[6] + v.z * e[10] + v.w * e[14],
                v.x * e[3] + v.y * e[7] + v.z * e[11] + v.w * e[15]};
}

// A normal under the input transform, as AddNormal stores it: the 3x3 part applied to the
// direction scaled by its w, then normalised with w = 1.
inline Vec4 TrxInputNormal(const Vec4& n) {
    if (!trx.inputOn) return n;
    const float* e = trx.input.m;
    const float w = n.w, x = n.x * w, y = n.y * w, z = n.z * w;
    Vec4 p{x * e[0] + y * e[4] + z * e[8], x * e[1] + y * e[5] + z * e[9],
           x * e[2] + y * e[6] + z * e[10], 1.0f};
    const float r = 1.0f / std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    p.x *= r;
    p.y *= r;
    p.z *= r;
    return p;
}

// The bulk forms of the two above, for AppendMesh and the morph: n elements from `in` to `out`
// (which do not overlap), each bit for bit what TrxInputPoint / TrxInputNormal gives, four at a
// time in SSE registers (the same operations in the same order, with the exact square root and
// divide). TrxBlendPoints first blends (1 - t) x a + t x b, as AddBlendedVertices does.
void TrxInputPoints(const Vec4* in, Vec4* out, int32_t n);
void TrxInputNormals(const Vec4* in, Vec4* out, int32_t n);
void TrxBlendPoints(const Vec4* a, const Vec4* b, float t, Vec4* out, int32_t n);

// Makes room in the five scene tables for that many more elements each (AppendMesh does this
// once per mesh, then fills the tables directly). False when a table cannot grow; the tables that
// grew keep their larger capacity and all counts stay as they were.
bool TrxReserveScene(int32_t materials, int32_t normals, int32_t vertices, int32_t links,
                     int32_t commands);

// Adds a command-list index to the emitter list, as BeginRun does for a type 7 run (a failure to
// grow the list is ignored there too).
void TrxAddEmitter(int32_t index);

// The depth sort of RenderFrame (on the vertices it transformed): keys every complete run (0
// farthest .. 65535 nearest) and orders their header indexes back to front, equal keys in list
// order, into sortRuns[0..runs-1]. Returns the run count, or -1 when the sort arrays cannot grow;
// *complete is false when the list ends inside a run.
int32_t TrxSortRuns(bool* complete);

// ---- hooks for tests and benchmarks ----

// After `after` more successful allocations, the next n allocations of the core fail (n <= 0:
// none fail).
void TrxFailAllocations(int n, int after = 0);
// Allocations the core has made (successful ones) since the program started.
long TrxAllocationCount(void);
// Frees everything the core holds, light slots and sort arrays included, and returns every field
// to its start state (the flare queue emptied).
void TrxReset(void);
