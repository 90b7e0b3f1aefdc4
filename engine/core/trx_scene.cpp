// trx_scene.cpp: the render core's state, its scene tables and the render-state setters.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "trx_state.h"

TrxState trx;

static int failAllocations = 0;
static int allocationsBeforeFailing = 0;
static long allocations = 0;

void* TrxRealloc(void* block, size_t bytes) {
    if (failAllocations > 0) {
        if (allocationsBeforeFailing > 0) {
            --allocationsBeforeFailing;
        } else {
            --failAllocations;
            return nullptr;
        }
    }
    void* p = std::realloc(block, bytes);
    if (p) ++allocations;
    return p;
}

void TrxFree(void* block) { std::free(block); }

void TrxFailAllocations(int n, int after) {
    failAllocations = n > 0 ? n : 0;
    allocationsBeforeFailing = after > 0 ? after : 0;
}

long TrxAllocationCount(void) { return allocations; }

// Makes room for one more element: capacity + 256 when full. False (nothing changed) on failure.
static bool Grow(void** table, int32_t count, int32_t* capacity, size_t size) {
    if (count < *capacity) return true;
    if (*capacity > INT32_MAX - TRX_GROW) return false;
    int32_t wanted = *capacity + TRX_GROW;
    void* p = TrxRealloc(*table, static_cast<size_t>(wanted) * size);
    if (!p) return false;
    *table = p;
    *capacity = wanted;
    return true;
}

// Makes room for `extra` more elements at once, growing in steps of 256. False (nothing changed)
// on failure.
static bool Reserve(void** table, int32_t count, int32_t* capacity, size_t size, int32_t extra) {
    if (extra <= *capacity - count) return true;
    int64_t wanted = *capacity + (static_cast<int64_t>(count) + extra - *capacity + TRX_GROW - 1) /
                                     TRX_GROW * TRX_GROW;
    if (extra < 0 || wanted > INT32_MAX) return false;
    void* p = TrxRealloc(*table, static_cast<size_t>(wanted) * size);
    if (!p) return false;
    *table = p;
    *capacity = static_cast<int32_t>(wanted);
    return true;
}

template <typename T>
static bool ReserveTable(T** table, int32_t count, int32_t* capacity, int32_t extra) {
    void* block = *table;
    if (!Reserve(&block, count, capacity, sizeof(T), extra)) return false;
    *table = static_cast<T*>(block);
    return true;
}

bool TrxReserveScene(int32_t materials, int32_t normals, int32_t vertices, int32_t links,
                     int32_t commands) {
    return ReserveTable(&trx.wmtable, trx.wmcount, &trx.wmcapacity, materials) &&
           ReserveTable(&trx.wntable, trx.wncount, &trx.wncapacity, normals) &&
           ReserveTable(&trx.wvtable, trx.wvcount, &trx.wvcapacity, vertices) &&
           ReserveTable(&trx.wltable, trx.wlcount, &trx.wlcapacity, links) &&
           ReserveTable(&trx.wctable, trx.wccount, &trx.wccapacity, commands);
}

template <typename T>
static int Append(T** table, int32_t* count, int32_t* capacity, const T& value) {
    void* block = *table;
    if (!Grow(&block, *count, capacity, sizeof(T))) return -1;
    *table = static_cast<T*>(block);
    (*table)[*count] = value;
    return (*count)++;
}

void ClearScene(void) {
    trx.wmcount = trx.wncount = trx.wvcount = trx.wlcount = trx.wccount = 0;
    trx.ecount = 0;
}

void SetInputTransform(const Matrix* m) {
    if (m) trx.input = *m;
    trx.inputOn = m != nullptr;
}

int AddVertex(const Vec4* v) {
    return Append(&trx.wvtable, &trx.wvcount, &trx.wvcapacity, TrxInputPoint(*v));
}

int AddBlendedVertices(const Vec4* a, const Vec4* b, float t, int32_t n) {
    if (n < 0 || !ReserveTable(&trx.wvtable, trx.wvcount, &trx.wvcapacity, n)) return -1;
    TrxBlendPoints(a, b, t, trx.wvtable + trx.wvcount, n);
    const int32_t first = trx.wvcount;
    trx.wvcount += n;
    return first;
}

int AddNormal(const Vec4* n) {
    return Append(&trx.wntable, &trx.wncount, &trx.wncapacity, TrxInputNormal(*n));
}

int AddMaterial(const Material* m) {
    return Append(&trx.wmtable, &trx.wmcount, &trx.wmcapacity, *m);
}

int AddLink(int vertex, int normal) {
    return Append(&trx.wltable, &trx.wlcount, &trx.wlcapacity, Link{normal, vertex});
}

int BeginRun(int count, uint32_t type, int texture) {
    Command c;
    c.run.reserved = 0;
    c.run.type = static_cast<uint16_t>(type & 0xFFFF);
    c.run.key = static_cast<uint16_t>(type >> 16);
    c.run.count = count;
    c.run.texture = texture;
    int index = Append(&trx.wctable, &trx.wccount, &trx.wccapacity, c);
    if (index >= 0 && (type & 0xF) == PRIM_EMITTER)
        (void)Append(&trx.emitters, &trx.ecount, &trx.ecapacity, index);  // a failure is ignored
    return index;
}

void TrxAddEmitter(int32_t index) {
    (void)Append(&trx.emitters, &trx.ecount, &trx.ecapacity, index);  // a failure is ignored
}

int AddVertexRef(int link, int material, float v, float u) {
    Command c;
    c.ref = VertexRef{material, link, v, u};
    return Append(&trx.wctable, &trx.wccount, &trx.wccapacity, c);
}

int SetLightCount(int n) {
    if (n < 0) return TRX_FAILED;
    if (n > trx.slotCapacity) {
        void* p = TrxRealloc(trx.slots, static_cast<size_t>(n) * sizeof(Light));
        if (!p) return TRX_FAILED;
        trx.slots = static_cast<Light*>(p);
        trx.slotCapacity = n;
    }
    if (n > trx.slotCount)
        std::memset(trx.slots + trx.slotCount, 0,
                    static_cast<size_t>(n - trx.slotCount) * sizeof(Light));
    trx.slotCount = n;
    if (!trx.slotsSized) {
        MatIdentity(&trx.model);
        MatIdentity(&trx.invModel);
        trx.slotsSized = true;
    }
    return TRX_OK;
}

int SetLight(int slot, const Light* light) {
    if (slot < 0 || slot >= trx.slotCount) return TRX_FAILED;
    trx.slots[slot] = *light;
    return TRX_OK;
}

int GetLight(int slot, Light* out) {
    if (slot < 0 || slot >= trx.slotCount) return TRX_FAILED;
    *out = trx.slots[slot];
    return TRX_OK;
}

int SetModelTransform(const Matrix* m, int mode) {
    switch (mode) {
    case 0:
        MatIdentity(&trx.model);
        MatIdentity(&trx.invModel);
        return TRX_OK;
    case 1:
        if (!m) return TRX_BAD_MODE;
        trx.invModel = *m;
        MatIdentity(&trx.model);
        return TRX_OK;
    case 2: {
        if (!m) return TRX_BAD_MODE;
        Matrix copy = *m;
        trx.model = *m;
        MatInvert(&copy, &trx.invModel);
        return TRX_OK;
    }
    default: return TRX_BAD_MODE;
    }
}

void SetShadowCallback(ShadowCallback callback) { trx.shadow = callback; }

void SetAmbient(float level) { trx.ambient = level; }

int AnimClockTick(int n) {
    if (trx.animSub < n) {
        ++trx.animSub;
        return trx.animClock;
    }
    trx.animSub = 0;
    trx.animClock = static_cast<int32_t>(static_cast<uint32_t>(trx.animClock) + 1u);
    return trx.animClock;
}

template <typename T>
static void Release(T** table, int32_t* count, int32_t* capacity) {
    TrxFree(*table);
    *table = nullptr;
    if (count) *count = 0;
    *capacity = 0;
}

void FreeScene(void) {
    Release(&trx.wmtable, &trx.wmcount, &trx.wmcapacity);
    Release(&trx.wntable, &trx.wncount, &trx.wncapacity);
    Release(&trx.wvtable, &trx.wvcount, &trx.wvcapacity);
    Release(&trx.wltable, &trx.wlcount, &trx.wlcapacity);
    Release(&trx.wctable, &trx.wccount, &trx.wccapacity);
    Release(&trx.emitters, &trx.ecount, &trx.ecapacity);
    Release(&trx.tvtable, static_cast<int32_t*>(nullptr), &trx.tvcapacity);
    Release(&trx.outcodes, static_cast<int32_t*>(nullptr), &trx.occapacity);
    Release(&trx.cache, static_cast<int32_t*>(nullptr), &trx.cacheCapacity);
    Release(&trx.lights, &trx.lightCount, &trx.lightCapacity);
}

void TrxReset(void) {
    FreeScene();
    TrxFree(trx.slots);
    TrxFree(trx.sortRuns);
    TrxFree(trx.sortTemp);
    std::memset(static_cast<void*>(&trx), 0, sizeof trx);
    failAllocations = 0;
    allocationsBeforeFailing = 0;
}
