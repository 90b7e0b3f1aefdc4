// trx_mesh.cpp: saving, using, appending and freeing meshes.
#include <cmath>
#include <cstring>

#include "assert_report.h"
#include "trx_state.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// ---- bulk input transforms ----
// Four elements per step in SSE registers; the operations are those of TrxInputPoint and
// TrxInputNormal, per lane and in the same order (no fused multiply-adds, the exact square root
// and divide), so the results are the same bits. The last n % 4 go through the scalar forms.

#if defined(__SSE2__)
static inline __m128 Row(const float* e) { return _mm_loadu_ps(e); }

// v x M for one point already in a register: ((x r0 + y r1) + z r2) + w r3.
static inline __m128 PointTimes(__m128 v, __m128 r0, __m128 r1, __m128 r2, __m128 r3) {
    const __m128 x = _mm_shuffle_ps(v, v, 0x00), y = _mm_shuffle_ps(v, v, 0x55);
    const __m128 z = _mm_shuffle_ps(v, v, 0xAA), w = _mm_shuffle_ps(v, v, 0xFF);
    return _mm_add_ps(
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, r0), _mm_mul_ps(y, r1)), _mm_mul_ps(z, r2)),
        _mm_mul_ps(w, r3));
}
#endif

void TrxInputPoints(const Vec4* in, Vec4* out, int32_t n) {
    if (n <= 0) return;
    if (!trx.inputOn) {
        std::memcpy(out, in, static_cast<size_t>(n) * sizeof(Vec4));
        return;
    }
    int32_t i = 0;
#if defined(__SSE2__)
    const float* e = trx.input.m;
    const __m128 r0 = Row(e), r1 = Row(e + 4), r2 = Row(e + 8), r3 = Row(e + 12);
    for (; i < n; ++i) _mm_storeu_ps(&out[i].x, PointTimes(_mm_loadu_ps(&in[i].x), r0, r1, r2, r3));
#endif
    for (; i < n; ++i) out[i] = TrxInputPoint(in[i]);
}

void TrxBlendPoints(const Vec4* a, const Vec4* b, float t, Vec4* out, int32_t n) {
    if (n <= 0) return;
    const float u = 1.0f - t;
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128 vu = _mm_set1_ps(u), vt = _mm_set1_ps(t);
    if (trx.inputOn) {
        const float* e = trx.input.m;
        const __m128 r0 = Row(e), r1 = Row(e + 4), r2 = Row(e + 8), r3 = Row(e + 12);
        for (; i < n; ++i) {
            const __m128 v = _mm_add_ps(_mm_mul_ps(vu, _mm_loadu_ps(&a[i].x)),
                                        _mm_mul_ps(vt, _mm_loadu_ps(&b[i].x)));
            _mm_storeu_ps(&out[i].x, PointTimes(v, r0, r1, r2, r3));
        }
    } else {
        for (; i < n; ++i)
            _mm_storeu_ps(&out[i].x, _mm_add_ps(_mm_mul_ps(vu, _mm_loadu_ps(&a[i].x)),
                                                _mm_mul_ps(vt, _mm_loadu_ps(&b[i].x))));
    }
#endif
    for (; i < n; ++i)
        out[i] = TrxInputPoint(Vec4{u * a[i].x + t * b[i].x, u * a[i].y + t * b[i].y,
                                    u * a[i].z + t * b[i].z, u * a[i].w + t * b[i].w});
}

void TrxInputNormals(const Vec4* in, Vec4* out, int32_t n) {
    if (n <= 0) return;
    if (!trx.inputOn) {
        std::memcpy(out, in, static_cast<size_t>(n) * sizeof(Vec4));
        return;
    }
    int32_t i = 0;
#if defined(__SSE2__)
    const float* e = trx.input.m;
    const __m128 e0 = _mm_set1_ps(e[0]), e1 = _mm_set1_ps(e[1]), e2 = _mm_set1_ps(e[2]);
    const __m128 e4 = _mm_set1_ps(e[4]), e5 = _mm_set1_ps(e[5]), e6 = _mm_set1_ps(e[6]);
    const __m128 e8 = _mm_set1_ps(e[8]), e9 = _mm_set1_ps(e[9]), e10 = _mm_set1_ps(e[10]);
    const __m128 one = _mm_set1_ps(1.0f);
    for (; i + 4 <= n; i += 4) {
        // Four normals as columns: X, Y, Z, W hold one component of each.
        __m128 X = _mm_loadu_ps(&in[i].x), Y = _mm_loadu_ps(&in[i + 1].x);
        __m128 Z = _mm_loadu_ps(&in[i + 2].x), W = _mm_loadu_ps(&in[i + 3].x);
        _MM_TRANSPOSE4_PS(X, Y, Z, W);
        const __m128 x = _mm_mul_ps(X, W), y = _mm_mul_ps(Y, W), z = _mm_mul_ps(Z, W);
        __m128 px = _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, e0), _mm_mul_ps(y, e4)), _mm_mul_ps(z, e8));
        __m128 py = _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, e1), _mm_mul_ps(y, e5)), _mm_mul_ps(z, e9));
        __m128 pz =
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, e2), _mm_mul_ps(y, e6)), _mm_mul_ps(z, e10));
        const __m128 len2 =
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(px, px), _mm_mul_ps(py, py)), _mm_mul_ps(pz, pz));
        const __m128 r = _mm_div_ps(one, _mm_sqrt_ps(len2));
        px = _mm_mul_ps(px, r);
        py = _mm_mul_ps(py, r);
        pz = _mm_mul_ps(pz, r);
        __m128 pw = one;
        _MM_TRANSPOSE4_PS(px, py, pz, pw);
        _mm_storeu_ps(&out[i].x, px);
        _mm_storeu_ps(&out[i + 1].x, py);
        _mm_storeu_ps(&out[i + 2].x, pz);
        _mm_storeu_ps(&out[i + 3].x, pw);
    }
#endif
    for (; i < n; ++i) out[i] = TrxInputNormal(in[i]);
}

// A new block holding count elements copied from table; none for an empty table.
static bool CopyBlock(const void* table, int32_t count, size_t size, void** out) {
    *out = nullptr;
    if (count <= 0) return true;
    void* p = TrxRealloc(nullptr, static_cast<size_t>(count) * size);
    if (!p) return false;
    std::memcpy(p, table, static_cast<size_t>(count) * size);
    *out = p;
    return true;
}

int SaveMesh(Mesh* mesh) {
    if (!mesh) return TRX_OK;
    void* m = nullptr;
    void* n = nullptr;
    void* w = nullptr;
    void* l = nullptr;
    void* c = nullptr;
    if (!CopyBlock(trx.wmtable, trx.wmcount, sizeof(Material), &m) ||
        !CopyBlock(trx.wntable, trx.wncount, sizeof(Vec4), &n) ||
        !CopyBlock(trx.wvtable, trx.wvcount, sizeof(Vec4), &w) ||
        !CopyBlock(trx.wltable, trx.wlcount, sizeof(Link), &l) ||
        !CopyBlock(trx.wctable, trx.wccount, sizeof(Command), &c)) {
        TrxFree(m);
        TrxFree(n);
        TrxFree(w);
        TrxFree(l);
        TrxFree(c);
        return TRX_NO_MEMORY;
    }
    mesh->mtable = static_cast<Material*>(m);
    mesh->mcount = trx.wmcount;
    mesh->ntable = static_cast<Vec4*>(n);
    mesh->ncount = trx.wncount;
    mesh->wtable = static_cast<Vec4*>(w);
    mesh->wcount = trx.wvcount;
    mesh->ltable = static_cast<Link*>(l);
    mesh->lcount = trx.wlcount;
    mesh->ctable = static_cast<Command*>(c);
    mesh->ccount = trx.wccount;
    return TRX_OK;
}

void UseMesh(Mesh* mesh) {
    if (!mesh) {
        ClearScene();
        return;
    }
    TrxFree(trx.wmtable);
    TrxFree(trx.wntable);
    TrxFree(trx.wvtable);
    TrxFree(trx.wltable);
    TrxFree(trx.wctable);
    trx.wmtable = mesh->mtable;
    trx.wmcount = trx.wmcapacity = mesh->mtable ? mesh->mcount : 0;
    trx.wntable = mesh->ntable;
    trx.wncount = trx.wncapacity = mesh->ntable ? mesh->ncount : 0;
    trx.wvtable = mesh->wtable;
    trx.wvcount = trx.wvcapacity = mesh->wtable ? mesh->wcount : 0;
    trx.wltable = mesh->ltable;
    trx.wlcount = trx.wlcapacity = mesh->ltable ? mesh->lcount : 0;
    trx.wctable = mesh->ctable;
    trx.wccount = trx.wccapacity = mesh->ctable ? mesh->ccount : 0;

    // The mesh's emitter runs define lights as they would have if appended.
    trx.ecount = 0;
    int32_t c = 0;
    while (c < trx.wccount) {
        const RunHeader& h = trx.wctable[c].run;
        if (h.count <= 0) break;  // a broken list: RenderFrame reports it
        if ((h.type & 0xF) == PRIM_EMITTER) {
            int32_t* block = trx.emitters;
            if (trx.ecount >= trx.ecapacity) {
                void* p = TrxRealloc(
                    block, (static_cast<size_t>(trx.ecapacity) + TRX_GROW) * sizeof(int32_t));
                if (!p) break;  // like BeginRun, a full emitter list only loses lights
                trx.emitters = static_cast<int32_t*>(p);
                trx.ecapacity += TRX_GROW;
            }
            trx.emitters[trx.ecount++] = c;
        }
        c += 1 + (h.count > TRX_MAX_RUN ? TRX_MAX_RUN : h.count);
    }
}

void FreeMesh(Mesh* todestroy) {
    if (!todestroy) return;
    if (todestroy->wtable && todestroy->wtable == trx.wvtable)
        AssertReport("todestroy->wtable!=wvtable", "trx", 573);
    TrxFree(todestroy->mtable);
    TrxFree(todestroy->ntable);
    TrxFree(todestroy->wtable);
    TrxFree(todestroy->ltable);
    TrxFree(todestroy->ctable);
    todestroy->mcount = todestroy->ncount = todestroy->wcount = todestroy->lcount =
        todestroy->ccount = 0;
}

// The VertexRefs of one run, moved to the scene's material and link bases (a negative material
// stays: no material).
static void RebaseRefs(const Command* in, Command* out, int32_t n, int32_t mbase, int32_t lbase) {
    int32_t i = 0;
#if defined(__SSE2__)
    // Lanes: material, link, v, u. The material lane gets mbase where it is not negative, the
    // link lane always lbase, the two floats nothing.
    const __m128i base = _mm_set_epi32(0, 0, lbase, mbase);
    const __m128i always = _mm_set_epi32(0, 0, -1, 0), none = _mm_set1_epi32(-1);
    for (; i < n; ++i) {
        const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&in[i]));
        const __m128i take = _mm_or_si128(_mm_cmpgt_epi32(r, none), always);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(&out[i]),
                         _mm_add_epi32(r, _mm_and_si128(take, base)));
    }
#endif
    for (; i < n; ++i) {
        const VertexRef& r = in[i].ref;
        out[i].ref =
            VertexRef{r.material >= 0 ? mbase + r.material : r.material, lbase + r.link, r.v, r.u};
    }
}

// Appends the mesh's tables; false at the first failed append.
static bool AppendTables(const Mesh* mesh, const uint16_t* remap, int remapCount, int32_t mbase,
                         int32_t nbase, int32_t vbase, int32_t lbase) {
    if (mesh->mcount < 0 || mesh->ncount < 0 || mesh->wcount < 0 || mesh->lcount < 0 ||
        mesh->ccount < 0)
        return false;
    if (!TrxReserveScene(mesh->mcount, mesh->ncount, mesh->wcount, mesh->lcount, mesh->ccount))
        return false;
    // The tables have room now: materials, normals, vertices and links are written straight in,
    // normals and vertices under the input transform exactly as AddNormal and AddVertex do.
    if (mesh->mcount > 0)
        std::memcpy(trx.wmtable + mbase, mesh->mtable,
                    static_cast<size_t>(mesh->mcount) * sizeof(Material));
    trx.wmcount = mbase + mesh->mcount;
    TrxInputNormals(mesh->ntable, trx.wntable + nbase, mesh->ncount);
    trx.wncount = nbase + mesh->ncount;
    TrxInputPoints(mesh->wtable, trx.wvtable + vbase, mesh->wcount);
    trx.wvcount = vbase + mesh->wcount;
    Link* lout = trx.wltable + lbase;
    for (int32_t i = 0; i < mesh->lcount; ++i)
        lout[i] = Link{nbase + mesh->ltable[i].normal, vbase + mesh->ltable[i].vertex};
    trx.wlcount = lbase + mesh->lcount;
    const int32_t cbase = trx.wccount;
    Command* cout = trx.wctable + cbase;
    int32_t i = 0;
    while (i < mesh->ccount) {
        // A run header, as BeginRun makes it with the header's type: the sort key starts at 0.
        const RunHeader& h = mesh->ctable[i].run;
        int texture = h.texture;
        if (remap && texture >= 0 && texture < remapCount) texture = remap[texture];
        cout[i].run = RunHeader{0, h.type, 0, h.count, texture};
        if ((h.type & 0xF) == PRIM_EMITTER) TrxAddEmitter(cbase + i);
        const int32_t refs = h.count > 0 ? h.count : 0;
        const int32_t last = refs < mesh->ccount - i - 1 ? i + 1 + refs : mesh->ccount;
        RebaseRefs(&mesh->ctable[i + 1], &cout[i + 1], last - i - 1, mbase, lbase);
        i = last;
    }
    trx.wccount = cbase + mesh->ccount;
    return true;
}

int AppendMesh(const Mesh* mesh, const Matrix* matrix, const uint16_t* remap, int remapCount) {
    SetInputTransform(matrix);
    if (!mesh) return TRX_OK;
    // The mesh taken into use by UseMesh is the current scene itself: appending it would read
    // tables that the appends reallocate.
    if ((mesh->wtable && mesh->wtable == trx.wvtable) ||
        (mesh->ctable && mesh->ctable == trx.wctable) ||
        (mesh->ltable && mesh->ltable == trx.wltable) ||
        (mesh->ntable && mesh->ntable == trx.wntable) ||
        (mesh->mtable && mesh->mtable == trx.wmtable))
        return TRX_NO_MEMORY;
    const int32_t mbase = trx.wmcount, nbase = trx.wncount, vbase = trx.wvcount,
                  lbase = trx.wlcount, cbase = trx.wccount, ebase = trx.ecount;
    if (AppendTables(mesh, remap, remapCount, mbase, nbase, vbase, lbase)) return TRX_OK;
    trx.wmcount = mbase;
    trx.wncount = nbase;
    trx.wvcount = vbase;
    trx.wlcount = lbase;
    trx.wccount = cbase;
    trx.ecount = ebase;  // entries past the rolled-back list would name foreign entries
    return TRX_NO_MEMORY;
}
