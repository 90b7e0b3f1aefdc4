// trx_render.cpp: the frame pipeline: transform and classify, cull, depth sort, shade and draw,
// sprites and flares.
#include <cmath>
#include <cstring>

#include "assert_report.h"
#include "trx_state.h"

// Float to int for pixel positions: trunc toward zero, with non-finite and out-of-range values
// mapped to a position no device reads (so the conversion itself is always defined).
static inline int PixelOf(float v) {
    if (!(v > -2147483648.0f && v < 2147483648.0f)) return -1;
    return static_cast<int>(v);
}

void SetViewport(float cx, float cy, float width, float height, byte setrect) {
    trx.halfWidth = width * 0.5f;
    trx.halfHeight = height * 0.5f;
    float dmin = static_cast<float>(DevGetScreenInfo(INFO_DEPTH_NEAR));
    float dmax = static_cast<float>(DevGetScreenInfo(INFO_DEPTH_FAR));
    MatIdentity(&trx.viewport);
    trx.viewport.m[0] = trx.halfWidth;
    trx.viewport.m[5] = trx.halfHeight;
    trx.viewport.m[10] = dmax - dmin;
    trx.viewport.m[12] = cx;
    trx.viewport.m[13] = cy;
    trx.viewport.m[14] = dmin;
    if (setrect) {
        int x0 = PixelOf(cx - trx.halfWidth), y0 = PixelOf(cy - trx.halfHeight);
        int x1 = PixelOf(cx + trx.halfWidth), y1 = PixelOf(cy + trx.halfHeight);
        DevSetClipWindow(
            static_cast<unsigned>(x0 > 0 ? x0 : 0), static_cast<unsigned>(y0 > 0 ? y0 : 0),
            static_cast<unsigned>(x1 > 0 ? x1 : 0), static_cast<unsigned>(y1 > 0 ? y1 : 0));
    }
}

// Grows a per-frame buffer to at least `wanted` elements (exactly that many when it grows).
template <typename T>
static bool Reserve(T** buffer, int32_t* capacity, int64_t wanted) {
    if (wanted <= *capacity) return true;
    if (wanted > INT32_MAX) return false;
    void* p = TrxRealloc(*buffer, static_cast<size_t>(wanted) * sizeof(T));
    if (!p) return false;
    *buffer = static_cast<T*>(p);
    *capacity = static_cast<int32_t>(wanted);
    return true;
}

static inline int Outcode(int32_t vertex) {
    return (trx.outcodes[vertex >> 1] >> ((vertex & 1) * 4)) & 0xF;
}

static inline uint8_t Classify(float x, float y, float z, float cx0, float cx1, float cy0,
                               float cy1, float dmin, float dmax) {
    if (!(z >= dmin && z <= dmax)) return 15;
    uint8_t oc = 0;
    if (x < cx0)
        oc = 1;
    else if (x > cx1)
        oc = 2;
    if (y < cy0)
        oc |= 4;
    else if (y > cy1)
        oc |= 8;
    return oc;
}

// Transforms every vertex by the combined matrix into tvtable and classifies it into outcodes.
static bool TransformAndClassify(void) {
    const int32_t n = trx.wvcount;
    if (!Reserve(&trx.tvtable, &trx.tvcapacity, n)) return false;
    if (!Reserve(&trx.outcodes, &trx.occapacity, (static_cast<int64_t>(n) + 2) / 2)) return false;
    const float* e = trx.combined.m;
    const float cx0 = trx.clipX0, cx1 = trx.clipX1, cy0 = trx.clipY0, cy1 = trx.clipY1;
    const float dmin = trx.depthMin, dmax = trx.depthMax;
    const Vec4* in = trx.wvtable;
    Vec4* out = trx.tvtable;
    uint8_t* oc = trx.outcodes;
    for (int32_t i = 0; i < n; ++i) {
        const float x = in[i].x, y = in[i].y, z = in[i].z, w = in[i].w;
        const float tx = x * e[0] + y * e[4] + z * e[8] + w * e[12];
        const float ty = x * e[1] + y * e[5] + z * e[9] + w * e[13];
        const float tz = x * e[2] + y * e[6] + z * e[10] + w * e[14];
        const float tw = x * e[3] + y * e[7] + z * e[11] + w * e[15];
        const float r = 1.0f / tw;
        const float sx = tx * r, sy = ty * r, sz = tz * r;
        out[i] = Vec4{sx, sy, sz, r};
        const uint8_t code = Classify(sx, sy, sz, cx0, cx1, cy0, cy1, dmin, dmax);
        if (i & 1)
            oc[i >> 1] = static_cast<uint8_t>(oc[i >> 1] | code << 4);
        else
            oc[i >> 1] = code;
    }
    return true;
}

// A run's references are usable when every link, its vertex and the material are in the tables.
static bool RunIndexesValid(const Command* refs, int count) {
    for (int k = 0; k < count; ++k) {
        const VertexRef& r = refs[k].ref;
        if (r.link < 0 || r.link >= trx.wlcount || r.material >= trx.wmcount) return false;
        const int32_t v = trx.wltable[r.link].vertex;
        if (v < 0 || v >= trx.wvcount) return false;
    }
    return true;
}

// The run's count as drawn: at most 127. A count of 0 or less is a broken command list.
static inline int RunCount(const RunHeader& h) {
    if (!(h.count > 0)) AssertReport("j>0", "trx", 760);
    return h.count > TRX_MAX_RUN ? TRX_MAX_RUN : h.count;
}

// Culled when every pair of cyclically consecutive vertices lies outside one common side.
static bool Culled(const Command* refs, int count) {
    int last = Outcode(trx.wltable[refs[count - 1].ref.link].vertex);
    if (last == 0) return false;
    int prev = Outcode(trx.wltable[refs[0].ref.link].vertex);
    if (!(prev & last)) return false;
    for (int k = 1; k < count; ++k) {
        int cur = Outcode(trx.wltable[refs[k].ref.link].vertex);
        if (!(prev & cur)) return false;
        prev = cur;
    }
    return true;
}

// Sprite size: the world size (v, u) at the vertex's view depth, projected, in pixels.
static void SpriteSize(const Vec4* position, DeviceVertex* dv) {
    Vec4 p;
    TransformPoint(&trx.modelView, position, &p);
    if (p.w != 1.0f) p.z = p.z / p.w;
    Vec4 s = {dv->v, dv->u, p.z, 0.0f};
    TransformPoint(&trx.projection, &s, &s);
    Homogenize(&s);
    dv->v = s.x * trx.halfWidth;
    dv->u = s.y * trx.halfHeight;
}

static void QueueFlares(int count, int texture, uint8_t flags) {
    for (int k = 0; k < count && trx.flareCount < TRX_FLARES; ++k) {
        FlareRecord& f = trx.flares[trx.flareCount++];
        f.vertex = trx.batch[k];
        f.texture = texture;
        f.flags = flags;
    }
}

// Culls, shades and draws the run whose header is at index h (known to lie inside the list).
static void DrawRun(int32_t h) {
    const RunHeader& head = trx.wctable[h].run;
    const int count = RunCount(head);
    const int type = head.type & 0xF, runFlags = head.type & 0xF0;
    // Emitters are light sources only; types without a meaning are never handed to the device.
    if (type == PRIM_EMITTER || type == 0 || type > PRIM_FLARE) return;
    const Command* refs = &trx.wctable[h + 1];
    if (!RunIndexesValid(refs, count)) return;
    if (Culled(refs, count)) return;
    if (type != PRIM_FLARE) DevSetTexture(0, head.texture);
    const bool sprite = type == PRIM_WORLD_SPRITE || type == PRIM_FLARE;
    for (int k = 0; k < count; ++k) {
        const VertexRef& r = refs[k].ref;
        const int32_t v = trx.wltable[r.link].vertex;
        const Vec4& t = trx.tvtable[v];
        DeviceVertex& dv = trx.batch[k];
        dv.x = t.x;
        dv.y = t.y;
        dv.z = t.z;
        dv.rhw = t.w;
        dv.color = VertexColor(&r);
        dv.u = r.u;
        dv.v = r.v;
        if (sprite) SpriteSize(&trx.wvtable[v], &dv);
    }
    if (type == PRIM_FLARE)
        QueueFlares(count, head.texture, static_cast<uint8_t>(runFlags | PRIM_FLARE));
    else
        DevDrawPrimitive(
            type == PRIM_WORLD_SPRITE ? unsigned{DEV_SPRITE} : static_cast<unsigned>(type), count,
            trx.batch);
}

int32_t TrxSortRuns(bool* complete) {
    std::memset(trx.histLow, 0, sizeof trx.histLow);
    std::memset(trx.histHigh, 0, sizeof trx.histHigh);
    const float dmin = trx.depthMin, dmax = trx.depthMax;
    const float range = dmax - dmin;
    int32_t runs = 0, c = 0;
    *complete = true;
    while (c < trx.wccount) {
        RunHeader& h = trx.wctable[c].run;
        const int count = RunCount(h);
        if (static_cast<int64_t>(c) + 1 + count > trx.wccount) {
            *complete = false;
            break;
        }
        float zrun = dmin;
        for (int k = 1; k <= count; ++k) {
            const VertexRef& r = trx.wctable[c + k].ref;
            if (r.link < 0 || r.link >= trx.wlcount) continue;
            const int32_t v = trx.wltable[r.link].vertex;
            if (v < 0 || v >= trx.wvcount) continue;
            float z = trx.tvtable[v].z;
            if (z < dmin) z = dmin;
            if (z > dmax) z = dmax;
            if (z > zrun) zrun = z;  // NaN never wins
        }
        const int depth = range > 0.0f ? static_cast<int>((zrun - dmin) / range * 65535.0) : 0;
        const uint16_t key = static_cast<uint16_t>(65535 - depth);
        h.key = key;
        ++trx.histLow[key & 0xFF];
        ++trx.histHigh[key >> 8];
        ++runs;
        c += 1 + count;
    }
    uint32_t lo = 0, hi = 0;
    for (int b = 0; b < 256; ++b) {
        const uint32_t l = trx.histLow[b], u = trx.histHigh[b];
        trx.histLow[b] = lo;
        trx.histHigh[b] = hi;
        lo += l;
        hi += u;
    }
    if (static_cast<int64_t>(runs) + 1 > trx.sortCapacity) {
        // Both arrays grow to the same size; the capacity is recorded once both have.
        const size_t bytes = (static_cast<size_t>(runs) + 1) * sizeof(int32_t);
        void* a = TrxRealloc(trx.sortRuns, bytes);
        if (!a) return -1;
        trx.sortRuns = static_cast<int32_t*>(a);
        void* b = TrxRealloc(trx.sortTemp, bytes);
        if (!b) return -1;
        trx.sortTemp = static_cast<int32_t*>(b);
        trx.sortCapacity = runs + 1;
    }
    // Low byte into sortTemp in list order, then high byte into sortRuns in sortTemp's order.
    c = 0;
    for (int32_t i = 0; i < runs; ++i) {
        const RunHeader& h = trx.wctable[c].run;
        trx.sortTemp[trx.histLow[h.key & 0xFF]++] = c;
        c += 1 + (h.count > TRX_MAX_RUN ? TRX_MAX_RUN : h.count);
    }
    trx.sortTemp[runs] = -1;
    for (int32_t i = 0; i < runs; ++i) {
        const int32_t r = trx.sortTemp[i];
        trx.sortRuns[trx.histHigh[trx.wctable[r].run.key >> 8]++] = r;
    }
    trx.sortRuns[runs] = -1;
    return runs;
}

static void FlushFlares(void) {
    const int n = trx.flareCount;
    for (int i = 0; i < n; ++i) {
        FlareRecord& f = trx.flares[i];
        const float depth = DevReadDepth(PixelOf(f.vertex.x), PixelOf(f.vertex.y), i == 0 ? 1 : 0);
        if (depth < f.vertex.z) {
            if (!(f.flags & RUN_FLARE_ALWAYS)) f.flags = 0;
        } else {
            f.vertex.z = trx.depthMin;
        }
    }
    for (int i = 0; i < n; ++i) {
        FlareRecord& f = trx.flares[i];
        if (!f.flags) continue;
        DevSetTexture(0, f.texture);
        DevDrawPrimitive(DEV_SPRITE, 1, &f.vertex);
    }
    trx.flareCount = 0;
}

int RenderFrame(const Matrix* view, const Matrix* projection, int flags) {
    FillSineTable();
    if (view) MatMul(&trx.model, view, &trx.modelView);
    if (projection) {
        trx.projection = *projection;
        MatMul(projection, &trx.viewport, &trx.projViewport);
    }
    MatMul(&trx.modelView, &trx.projViewport, &trx.combined);

    trx.clipX0 = static_cast<float>(DevGetScreenInfo(INFO_CLIP_X0));
    trx.clipX1 = static_cast<float>(DevGetScreenInfo(INFO_CLIP_X1));
    trx.clipY0 = static_cast<float>(DevGetScreenInfo(INFO_CLIP_Y0));
    trx.clipY1 = static_cast<float>(DevGetScreenInfo(INFO_CLIP_Y1));
    trx.depthMin = static_cast<float>(DevGetScreenInfo(INFO_DEPTH_NEAR));
    trx.depthMax = static_cast<float>(DevGetScreenInfo(INFO_DEPTH_FAR));

    const bool transformed = TransformAndClassify();
    const bool lit = PrepareLights() == TRX_OK;
    if (!transformed || !lit) return TRX_NO_MEMORY;
    if (trx.wlcount > trx.cacheCapacity) {
        const int32_t old = trx.cacheCapacity;
        if (!Reserve(&trx.cache, &trx.cacheCapacity, trx.wlcount)) return TRX_NO_MEMORY;
        // New records carry the stamp of the frame before this one, which no later frame matches.
        for (int32_t i = old; i < trx.cacheCapacity; ++i) trx.cache[i].stamp = trx.frameStamp;
    }
    trx.frameStamp = static_cast<int32_t>(static_cast<uint32_t>(trx.frameStamp) + 1u);

    bool complete = true;
    int32_t runs = (flags & 1) ? TrxSortRuns(&complete) : -1;
    if (runs >= 0) {
        for (int32_t i = 0; i < runs; ++i) DrawRun(trx.sortRuns[i]);
    } else {
        complete = true;
        int32_t c = 0;
        while (c < trx.wccount) {
            const int count = RunCount(trx.wctable[c].run);
            if (static_cast<int64_t>(c) + 1 + count > trx.wccount) {
                complete = false;
                break;
            }
            DrawRun(c);
            c += 1 + count;
        }
    }
    if (!complete) return TRX_RUN_CUT;
    if (trx.flareCount) FlushFlares();
    return TRX_OK;
}
