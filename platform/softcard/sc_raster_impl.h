// sc_raster_impl.h: the rasteriser, compiled three times: for any processor (sc_raster.cpp) and,
// on x86-64 only, with AVX2 (sc_raster_avx2.cpp, 8 pixels at a time) and with AVX-512
// (sc_raster_avx512.cpp, 16). SC_NS names the copy, SC_SIMD says which it is (0, 1, 2). All
// copies give identical pixels.
//
// Triangles are walked row by row. Vertex positions are snapped to a 1/16-pixel grid and each edge
// is stepped exactly in integers (quotient and remainder), so the first pixel of a row depends
// only on the edge's two end points: two triangles sharing an edge agree on every row. A pixel is
// inside when its centre lies on or right of the left edge and left of the right edge, on or below
// the top and above the bottom (top-left rule).
//
// Attributes are planes in float, evaluated at the first and last pixel centre of each span and
// stepped in fixed point across it: depth in 16.15, colour channels in 8.16, texture coordinates
// as 0.32 fractions of the texture (wrapping is the natural overflow of a 32-bit integer). u and v
// are divided by 1/w at the ends of each 16-pixel segment and stepped linearly in between.
// The per-pixel loop is a template over texture mode, blending, colour key and depth compare;
// one of them is chosen per triangle with a switch, never through a pointer per pixel.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "sc_internal.h"

#if SC_SIMD
// GCC 12 warns of the undefined first operand its own AVX-512 intrinsics pass on to the builtins
// (fixed in later releases); the warnings point into its headers and say nothing of this code.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#ifndef __clang__  // GCC's own warning; clang has no such group
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#pragma GCC diagnostic pop
#endif

namespace SC_NS {
namespace {

constexpr int kSub = 16;             // sub-pixel steps per pixel
constexpr float kMaxCoord = 1.0e6f;  // farther vertices drop their triangle
constexpr int kSegment = 16;         // pixels per perspective divide

enum { kZ, kA, kR, kG, kB, kS, kT, kQ, kAttrs };

// Ordered dither thresholds (4x4 Bayer) for 5-bit and 6-bit channels, and all-zero rows.
constexpr uint8_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

struct DitherTables {
    uint8_t d5[4][4], d6[4][4], zero[4][4];
    DitherTables() {
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                d5[y][x] = kBayer[y][x] / 2;
                d6[y][x] = kBayer[y][x] / 4;
                zero[y][x] = 0;
            }
    }
};
const DitherTables kDither;

// What a draw call needs, resolved once from the card's state.
struct Ctx {
    uint16_t* colour;
    uint16_t* depth;
    size_t size;  // pixels in each buffer
    int pitch;
    int cx0, cy0, cx1, cy1;
    bool depthWrite;
    float depthScale;
    const uint32_t* texels;
    uint32_t tw, th, tpitch;  // tpitch = tw + 1
    int lw, lh;               // log2 of tw, th when both are powers of two (pot)
    bool pot;
    ScFilter minify, magnify;
    const uint8_t (*d5)[4];
    const uint8_t (*d6)[4];
    bool dither;
    ScCull cull;
};

// floor(a / b) for b > 0, |a| < 2^52: a product with the reciprocal in double (far cheaper than a
// 64-bit integer divide) whose result is off by at most one, then corrected exactly.
inline int64_t FloorDiv(int64_t a, int64_t b, double rb) {  // rb = 1 / b
    int64_t q = int64_t(double(a) * rb);
    int64_t r = a - q * b;
    while (r < 0) {
        --q;
        r += b;
    }
    while (r >= b) {
        ++q;
        r -= b;
    }
    return q;
}
inline int64_t CeilDiv(int64_t a, int64_t b, double rb) { return -FloorDiv(-a, b, rb); }

// Column of the first pixel centre on or right of an edge, row by row.
struct Edge {
    int64_t i, e, d, q, m;
    void Start(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int row) {
        int64_t dx = x1 - x0, dy = y1 - y0;
        d = kSub * dy;
        int64_t yc = int64_t(row) * kSub + kSub / 2;
        int64_t n = (yc - y0) * dx + (x0 - kSub / 2) * dy;
        const double rd = 1.0 / double(d);
        i = CeilDiv(n, d, rd);
        e = n - i * d;
        q = FloorDiv(kSub * dx, d, rd);
        m = kSub * dx - q * d;
    }
    void Step() {
        i += q;
        e += m;
        if (e > 0) {
            ++i;
            e -= d;
        }
    }
};

inline float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

// A texture coordinate (fraction of the texture) as a 0.32 fixed-point fraction.
inline uint32_t Frac32(float u) {
    if (!(u > -1.0e9f && u < 1.0e9f)) return 0;
    double f = double(u) - double(std::floor(u));
    return uint32_t(uint64_t(f * 4294967296.0));
}
// The step per pixel, as a 0.32 fraction, of a coordinate that changes by d over n pixels.
struct StepScales {
    double perPixel[kSegment + 1];
    StepScales() {
        perPixel[0] = 0;
        for (int i = 1; i <= kSegment; ++i) perPixel[i] = 4294967296.0 / i;
    }
};
const StepScales kStep;
inline uint32_t Step32(float d, int n) {
    if (!(d > -1.0e9f && d < 1.0e9f)) return 0;
    return uint32_t(int64_t(double(d) * kStep.perPixel[n]));
}

// Per channel lerp of two 0x00AA00RR00GG00BB values, weight f of b in 0..256.
inline uint64_t Spread(uint32_t c) { return (c & 0x00FF00FFu) | (uint64_t(c & 0xFF00FF00u) << 24); }
inline uint64_t Lerp(uint64_t a, uint64_t b, uint32_t f) {
    return ((a * (256 - f) + b * f) >> 8) & 0x00FF00FF00FF00FFull;
}
inline uint32_t Gather(uint64_t s) { return uint32_t(s | (s >> 24)); }

inline uint32_t Blend255(uint32_t x) {  // round(x / 255) for x <= 255 * 255
    x += 128;
    return (x + (x >> 8)) >> 8;
}

template <int TexMode>
inline uint32_t Fetch(const Ctx& c, uint32_t s, uint32_t t) {
    if (TexMode == 1) {
        uint32_t x = uint32_t((uint64_t(s) * c.tw) >> 32);
        uint32_t y = uint32_t((uint64_t(t) * c.th) >> 32);
        return c.texels[y * c.tpitch + x];
    }
    uint64_t px = uint64_t(s - (0x80000000u / c.tw)) * c.tw;
    uint64_t py = uint64_t(t - (0x80000000u / c.th)) * c.th;
    uint32_t x0 = uint32_t(px >> 32), y0 = uint32_t(py >> 32);
    uint32_t fx = uint32_t(px >> 24) & 0xFF, fy = uint32_t(py >> 24) & 0xFF;
    const uint32_t* r0 = c.texels + y0 * c.tpitch + x0;  // the padding holds the wrapped texels
    const uint32_t* r1 = r0 + c.tpitch;
    uint64_t top = Lerp(Spread(r0[0]), Spread(r0[1]), fx);
    uint64_t bot = Lerp(Spread(r1[0]), Spread(r1[1]), fx);
    return Gather(Lerp(top, bot, fy));
}

#if SC_SIMD == 1
using LaneVec = __m256i;
const __m256i kLane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
inline __m256i LaneSteps(uint32_t d) {
    return _mm256_mullo_epi32(_mm256_set1_epi32(int(d)), kLane);
}

// Dither thresholds of 8 pixels from a column of phase x & 3 in a row of phase y & 3; 5-bit ones
// in both 16-bit halves of a lane (red and blue).
struct DitherVectors {
    __m256i d5[4][4], d6[4][4];
    explicit DitherVectors(bool on) {
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                int t5[8], t6[8];
                for (int i = 0; i < 8; ++i) {
                    t5[i] = on ? kDither.d5[y][(x + i) & 3] * 0x10001 : 0;
                    t6[i] = on ? kDither.d6[y][(x + i) & 3] : 0;
                }
                d5[y][x] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t5));
                d6[y][x] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t6));
            }
    }
};
const DitherVectors kDitherVectors(true), kNoDither(false);

// Per-lane offsets (0..7 steps) of the stepped depth and colour values.
struct SpanVectors {
    __m256i zLane, aLane, rLane, gLane, bLane;
    void Lanes(uint32_t dz, int32_t da, int32_t dr, int32_t dg, int32_t db) {
        zLane = _mm256_mullo_epi32(_mm256_set1_epi32(int(dz)), kLane);
        aLane = _mm256_mullo_epi32(_mm256_set1_epi32(da), kLane);
        rLane = _mm256_mullo_epi32(_mm256_set1_epi32(dr), kLane);
        gLane = _mm256_mullo_epi32(_mm256_set1_epi32(dg), kLane);
        bLane = _mm256_mullo_epi32(_mm256_set1_epi32(db), kLane);
    }
};

inline __m256i Set1(uint32_t v) { return _mm256_set1_epi32(int(v)); }

// 8 pixels from cp / zp; the same arithmetic as the one-pixel loop of Span, with red and blue
// (and alpha and green) carried as two 16-bit halves of one 32-bit lane.
template <int TexMode, bool Blend, bool Key, bool ZLess>
inline void Group8(const Ctx& c, const SpanVectors& v, __m256i d5, __m256i d6, uint16_t* cp,
                   uint16_t* zp, uint32_t z, int32_t ca, int32_t cr, int32_t cg, int32_t cb,
                   uint32_t s, uint32_t t, __m256i dsLane, __m256i dtLane, bool zWrite,
                   __m256i mask) {
    const __m256i zz = _mm256_srli_epi32(_mm256_add_epi32(Set1(z), v.zLane), 15);
    const __m128i oldZ = _mm_loadu_si128(reinterpret_cast<const __m128i*>(zp));
    if (ZLess) {
        mask = _mm256_and_si256(mask, _mm256_cmpgt_epi32(_mm256_cvtepu16_epi32(oldZ), zz));
        if (_mm256_testz_si256(mask, mask)) return;
    }
    const __m256i hi8 = Set1(0x00FF0000);
    const __m256i va = _mm256_add_epi32(Set1(uint32_t(ca)), v.aLane);
    const __m256i vr = _mm256_add_epi32(Set1(uint32_t(cr)), v.rLane);
    const __m256i vg = _mm256_add_epi32(Set1(uint32_t(cg)), v.gLane);
    const __m256i vb = _mm256_add_epi32(Set1(uint32_t(cb)), v.bLane);
    __m256i rb, ag;  // (r << 16) | b and (a << 16) | g
    if (TexMode == 0) {
        rb = _mm256_or_si256(_mm256_and_si256(vr, hi8), _mm256_srli_epi32(vb, 16));
        ag = _mm256_or_si256(_mm256_and_si256(va, hi8), _mm256_srli_epi32(vg, 16));
    } else {
        const __m256i vs = _mm256_add_epi32(Set1(s), dsLane);
        const __m256i vt = _mm256_add_epi32(Set1(t), dtLane);
        const __m128i shW = _mm_cvtsi32_si128(32 - c.lw), shH = _mm_cvtsi32_si128(32 - c.lh);
        const __m128i lw = _mm_cvtsi32_si128(c.lw);
        const int* texels = reinterpret_cast<const int*>(c.texels);
        __m256i tex;
        if (TexMode == 1) {
            const __m256i y = _mm256_srl_epi32(vt, shH);
            const __m256i idx = _mm256_add_epi32(_mm256_add_epi32(_mm256_sll_epi32(y, lw), y),
                                                 _mm256_srl_epi32(vs, shW));
            tex = _mm256_i32gather_epi32(texels, idx, 4);
        } else {
            const __m256i s0 = _mm256_sub_epi32(vs, Set1(0x80000000u >> c.lw));
            const __m256i t0 = _mm256_sub_epi32(vt, Set1(0x80000000u >> c.lh));
            const __m256i x0 = _mm256_srl_epi32(s0, shW), y0 = _mm256_srl_epi32(t0, shH);
            const __m256i ff = Set1(0xFF);
            const __m256i fx =
                _mm256_and_si256(_mm256_srl_epi32(s0, _mm_cvtsi32_si128(24 - c.lw)), ff);
            const __m256i fy =
                _mm256_and_si256(_mm256_srl_epi32(t0, _mm_cvtsi32_si128(24 - c.lh)), ff);
            // Texel pairs (x0, x0 + 1) of both rows as 64-bit gathers; then left and right apart.
            const __m256i i0 = _mm256_add_epi32(_mm256_add_epi32(_mm256_sll_epi32(y0, lw), y0), x0);
            const __m256i i1 = _mm256_add_epi32(i0, Set1(c.tpitch));
            const long long* base = reinterpret_cast<const long long*>(c.texels);
            auto pairs = [&](__m256i idx, __m256i* left, __m256i* right) {
                __m256 lo = _mm256_castsi256_ps(
                    _mm256_i32gather_epi64(base, _mm256_castsi256_si128(idx), 4));
                __m256 hi = _mm256_castsi256_ps(
                    _mm256_i32gather_epi64(base, _mm256_extracti128_si256(idx, 1), 4));
                *left = _mm256_permute4x64_epi64(
                    _mm256_castps_si256(_mm256_shuffle_ps(lo, hi, 0x88)), 0xD8);
                *right = _mm256_permute4x64_epi64(
                    _mm256_castps_si256(_mm256_shuffle_ps(lo, hi, 0xDD)), 0xD8);
            };
            __m256i t00, t01, t10, t11;
            pairs(i0, &t00, &t01);
            pairs(i1, &t10, &t11);
            const __m256i w256 = Set1(0x01000100);
            const __m256i wx = _mm256_or_si256(fx, _mm256_slli_epi32(fx, 16));
            const __m256i wy = _mm256_or_si256(fy, _mm256_slli_epi32(fy, 16));
            const __m256i iwx = _mm256_sub_epi16(w256, wx), iwy = _mm256_sub_epi16(w256, wy);
            const __m256i m = Set1(0x00FF00FF);
            auto lerp = [&](__m256i a, __m256i b, __m256i wa, __m256i wb) {
                return _mm256_srli_epi16(
                    _mm256_add_epi16(_mm256_mullo_epi16(a, wa), _mm256_mullo_epi16(b, wb)), 8);
            };
            auto lo = [&](__m256i p) { return _mm256_and_si256(p, m); };
            auto hi = [&](__m256i p) { return _mm256_and_si256(_mm256_srli_epi32(p, 8), m); };
            const __m256i topL = lerp(lo(t00), lo(t01), iwx, wx),
                          topH = lerp(hi(t00), hi(t01), iwx, wx);
            const __m256i botL = lerp(lo(t10), lo(t11), iwx, wx),
                          botH = lerp(hi(t10), hi(t11), iwx, wx);
            const __m256i outL = lerp(topL, botL, iwy, wy), outH = lerp(topH, botH, iwy, wy);
            tex = _mm256_or_si256(outL, _mm256_slli_epi32(outH, 8));
        }
        if (Key) mask = _mm256_andnot_si256(_mm256_cmpeq_epi32(tex, _mm256_setzero_si256()), mask);
        const __m256i one2 = Set1(0x00010001), m = Set1(0x00FF00FF);
        const __m256i crb = _mm256_add_epi32(
            _mm256_or_si256(_mm256_and_si256(vr, hi8), _mm256_srli_epi32(vb, 16)), one2);
        const __m256i cag = _mm256_add_epi32(
            _mm256_or_si256(_mm256_and_si256(va, hi8), _mm256_srli_epi32(vg, 16)), one2);
        rb = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_and_si256(tex, m), crb), 8);
        ag = _mm256_srli_epi16(
            _mm256_mullo_epi16(_mm256_and_si256(_mm256_srli_epi32(tex, 8), m), cag), 8);
    }
    const __m128i oldC = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cp));
    const __m256i low16 = Set1(0xFFFF);
    __m256i g = _mm256_and_si256(ag, low16);
    if (Blend) {
        const __m256i d = _mm256_cvtepu16_epi32(oldC);
        const __m256i r5 = _mm256_srli_epi32(d, 11), b5 = _mm256_and_si256(d, Set1(31));
        const __m256i g6 = _mm256_and_si256(_mm256_srli_epi32(d, 5), Set1(63));
        const __m256i dr = _mm256_or_si256(_mm256_slli_epi32(r5, 3), _mm256_srli_epi32(r5, 2));
        const __m256i db = _mm256_or_si256(_mm256_slli_epi32(b5, 3), _mm256_srli_epi32(b5, 2));
        const __m256i dg = _mm256_or_si256(_mm256_slli_epi32(g6, 2), _mm256_srli_epi32(g6, 4));
        const __m256i drb = _mm256_or_si256(_mm256_slli_epi32(dr, 16), db);
        const __m256i a = _mm256_srli_epi32(ag, 16);
        const __m256i aa = _mm256_or_si256(a, _mm256_slli_epi32(a, 16));
        const __m256i ia = _mm256_sub_epi16(Set1(0x00FF00FF), aa);
        const __m256i r128 = Set1(0x00800080);
        auto mix = [&](__m256i src, __m256i dst) {
            __m256i x = _mm256_add_epi16(_mm256_mullo_epi16(src, aa), _mm256_mullo_epi16(dst, ia));
            x = _mm256_add_epi16(x, r128);
            return _mm256_srli_epi16(_mm256_add_epi16(x, _mm256_srli_epi16(x, 8)), 8);
        };
        rb = mix(rb, drb);
        g = _mm256_and_si256(mix(g, dg), low16);
    }
    __m256i rb5 = _mm256_srli_epi16(_mm256_add_epi16(rb, d5), 3);
    rb5 = _mm256_sub_epi16(rb5, _mm256_srli_epi16(rb5, 5));
    __m256i g6 = _mm256_srli_epi32(_mm256_add_epi32(g, d6), 2);
    g6 = _mm256_sub_epi32(g6, _mm256_srli_epi32(g6, 6));
    const __m256i px =
        _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(_mm256_srli_epi32(rb5, 16), 11),
                                        _mm256_slli_epi32(g6, 5)),
                        _mm256_and_si256(rb5, low16));
    auto pack = [](__m256i w) {  // 8 x 32-bit (0..65535 or -1) -> 8 x 16-bit
        __m256i p = _mm256_permute4x64_epi64(_mm256_packus_epi32(w, w), 0x08);
        return _mm256_castsi256_si128(p);
    };
    auto packMask = [](__m256i w) {
        __m256i p = _mm256_permute4x64_epi64(_mm256_packs_epi32(w, w), 0x08);
        return _mm256_castsi256_si128(p);
    };
    const __m128i m16 = packMask(mask);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cp), _mm_blendv_epi8(oldC, pack(px), m16));
    if (zWrite)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(zp), _mm_blendv_epi8(oldZ, pack(zz), m16));
}
#elif SC_SIMD == 2
using LaneVec = __m512i;
const __m512i kLane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
inline __m512i Set1(uint32_t v) { return _mm512_set1_epi32(int(v)); }
inline __m512i LaneSteps(uint32_t d) { return _mm512_mullo_epi32(Set1(d), kLane); }
// Lanes 0-7 of v in lanes 0-7 and 8-15 (two rows in one group).
inline __m512i LowTwice(__m512i v) { return _mm512_shuffle_i64x2(v, v, 0x44); }
// Lanes 0-3 of v in each quarter (four rows in one group).
inline __m512i LowFour(__m512i v) { return _mm512_shuffle_i64x2(v, v, 0x00); }
// a in lanes 0-7, b in lanes 8-15.
inline __m512i Halves(uint32_t a, uint32_t b) {
    return _mm512_mask_blend_epi32(0xFF00, Set1(a), Set1(b));
}

// Dither thresholds of 16 pixels from a column of phase x & 3 in a row of phase y & 3; 5-bit ones
// in both 16-bit halves of a lane (red and blue).
struct DitherVectors {
    __m512i d5[4][4], d6[4][4];
    explicit DitherVectors(bool on) {
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                int t5[16], t6[16];
                for (int i = 0; i < 16; ++i) {
                    t5[i] = on ? kDither.d5[y][(x + i) & 3] * 0x10001 : 0;
                    t6[i] = on ? kDither.d6[y][(x + i) & 3] : 0;
                }
                d5[y][x] = _mm512_loadu_si512(t5);
                d6[y][x] = _mm512_loadu_si512(t6);
            }
    }
};
const DitherVectors kDitherVectors(true), kNoDither(false);

// Per-lane offsets (0..15 steps) of the stepped depth and colour values.
struct SpanVectors {
    __m512i zLane, aLane, rLane, gLane, bLane;
    void Lanes(uint32_t dz, int32_t da, int32_t dr, int32_t dg, int32_t db) {
        zLane = LaneSteps(dz);
        aLane = LaneSteps(uint32_t(da));
        rLane = LaneSteps(uint32_t(dr));
        gLane = LaneSteps(uint32_t(dg));
        bLane = LaneSteps(uint32_t(db));
    }
    // Each of v's lane vectors through f: LowTwice for groups of two rows, LowFour for four.
    void From(const SpanVectors& v, __m512i (*f)(__m512i)) {
        zLane = f(v.zLane);
        aLane = f(v.aLane);
        rLane = f(v.rLane);
        gLane = f(v.gLane);
        bLane = f(v.bLane);
    }
};

// What a group of 16 lanes draws: the stepped values of each lane, its dither thresholds, and
// where its pixels are: 16 of one row from cp[0] / zp[0]; or (two rows) 8 from cp[0] / zp[0] in
// lanes 0-7 and 8 from cp[1] / zp[1] in lanes 8-15; or (four rows) 4 from each of cp[0..3] /
// zp[0..3], a quarter of the lanes each. Lanes outside mask are neither read nor written.
struct GroupIn {
    __m512i z, a, r, g, b, s, t, d5, d6;
    uint16_t* cp[4];
    uint16_t* zp[4];
    __mmask16 mask;
};

template <int Rows>
inline __m256i Load16(uint16_t* const* p, __mmask16 m) {
    if (Rows == 1) return _mm256_maskz_loadu_epi16(m, p[0]);
    if (Rows == 2)
        return _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_maskz_loadu_epi16(__mmask8(m), p[0])),
            _mm_maskz_loadu_epi16(__mmask8(m >> 8), p[1]), 1);
    const __m128i lo = _mm_unpacklo_epi64(_mm_maskz_loadu_epi16(__mmask8(m & 0xF), p[0]),
                                          _mm_maskz_loadu_epi16(__mmask8((m >> 4) & 0xF), p[1]));
    const __m128i hi = _mm_unpacklo_epi64(_mm_maskz_loadu_epi16(__mmask8((m >> 8) & 0xF), p[2]),
                                          _mm_maskz_loadu_epi16(__mmask8(m >> 12), p[3]));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}
template <int Rows>
inline void Store16(uint16_t* const* p, __mmask16 m, __m256i v) {
    if (Rows == 1) {
        _mm256_mask_storeu_epi16(p[0], m, v);
        return;
    }
    const __m128i lo = _mm256_castsi256_si128(v), hi = _mm256_extracti128_si256(v, 1);
    if (Rows == 2) {
        _mm_mask_storeu_epi16(p[0], __mmask8(m), lo);
        _mm_mask_storeu_epi16(p[1], __mmask8(m >> 8), hi);
        return;
    }
    _mm_mask_storeu_epi16(p[0], __mmask8(m & 0xF), lo);
    _mm_mask_storeu_epi16(p[1], __mmask8((m >> 4) & 0xF), _mm_srli_si128(lo, 8));
    _mm_mask_storeu_epi16(p[2], __mmask8((m >> 8) & 0xF), hi);
    _mm_mask_storeu_epi16(p[3], __mmask8(m >> 12), _mm_srli_si128(hi, 8));
}

// Up to 16 pixels: the arithmetic of Group8 on 16 lanes. A span segment is at most 16 pixels, so
// it is one group; so are two rows of at most 8.
template <int TexMode, bool Blend, bool Key, bool ZLess, int Rows>
inline void Group16(const Ctx& c, const GroupIn& in, bool zWrite) {
    // The texels are fetched for every live lane, whatever the depth test says: the gathers then
    // need not wait for the depth buffer.
    __mmask16 mask = in.mask;
    const __mmask16 live = mask;
    const __m512i zz = _mm512_srli_epi32(in.z, 15);
    const __m256i oldZ = Load16<Rows>(in.zp, mask);
    if (ZLess) {
        mask = _mm512_mask_cmplt_epi32_mask(mask, zz, _mm512_cvtepu16_epi32(oldZ));
        if (!mask) return;
    }
    const __m512i hi8 = Set1(0x00FF0000);
    const __m512i va = in.a, vr = in.r, vg = in.g, vb = in.b;
    __m512i rb, ag;  // (r << 16) | b and (a << 16) | g
    if (TexMode == 0) {
        rb = _mm512_or_si512(_mm512_and_si512(vr, hi8), _mm512_srli_epi32(vb, 16));
        ag = _mm512_or_si512(_mm512_and_si512(va, hi8), _mm512_srli_epi32(vg, 16));
    } else {
        const __m512i vs = in.s, vt = in.t;
        const __m128i shW = _mm_cvtsi32_si128(32 - c.lw), shH = _mm_cvtsi32_si128(32 - c.lh);
        const __m128i lw = _mm_cvtsi32_si128(c.lw);
        __m512i tex;
        if (TexMode == 1) {
            const __m512i y = _mm512_srl_epi32(vt, shH);
            const __m512i idx = _mm512_add_epi32(_mm512_add_epi32(_mm512_sll_epi32(y, lw), y),
                                                 _mm512_srl_epi32(vs, shW));
            tex = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), live, idx, c.texels, 4);
        } else {
            const __m512i s0 = _mm512_sub_epi32(vs, Set1(0x80000000u >> c.lw));
            const __m512i t0 = _mm512_sub_epi32(vt, Set1(0x80000000u >> c.lh));
            const __m512i x0 = _mm512_srl_epi32(s0, shW), y0 = _mm512_srl_epi32(t0, shH);
            const __m512i ff = Set1(0xFF);
            const __m512i fx =
                _mm512_and_si512(_mm512_srl_epi32(s0, _mm_cvtsi32_si128(24 - c.lw)), ff);
            const __m512i fy =
                _mm512_and_si512(_mm512_srl_epi32(t0, _mm_cvtsi32_si128(24 - c.lh)), ff);
            // Texel pairs (x0, x0 + 1) of both rows as 64-bit gathers, 8 to a gather (the upper
            // 8 lanes' only when one of them is live); then left and right apart.
            const __m512i i0 = _mm512_add_epi32(_mm512_add_epi32(_mm512_sll_epi32(y0, lw), y0), x0);
            const __m512i i1 = _mm512_add_epi32(i0, Set1(c.tpitch));
            const __m512i even =
                _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
            const __m512i odd = _mm512_add_epi32(even, Set1(1));
            const bool upper = (live >> 8) != 0;
            auto pairs = [&](__m512i idx, __m512i* left, __m512i* right) {
                const __m512i lo =
                    _mm512_mask_i32gather_epi64(_mm512_setzero_si512(), __mmask8(live),
                                                _mm512_castsi512_si256(idx), c.texels, 4);
                const __m512i hi = upper ? _mm512_mask_i32gather_epi64(
                                               _mm512_setzero_si512(), __mmask8(live >> 8),
                                               _mm512_extracti64x4_epi64(idx, 1), c.texels, 4)
                                         : _mm512_setzero_si512();
                *left = _mm512_permutex2var_epi32(lo, even, hi);
                *right = _mm512_permutex2var_epi32(lo, odd, hi);
            };
            __m512i t00, t01, t10, t11;
            pairs(i0, &t00, &t01);
            pairs(i1, &t10, &t11);
            const __m512i w256 = Set1(0x01000100);
            const __m512i wx = _mm512_or_si512(fx, _mm512_slli_epi32(fx, 16));
            const __m512i wy = _mm512_or_si512(fy, _mm512_slli_epi32(fy, 16));
            const __m512i iwx = _mm512_sub_epi16(w256, wx), iwy = _mm512_sub_epi16(w256, wy);
            const __m512i m = Set1(0x00FF00FF);
            auto lerp = [&](__m512i a, __m512i b, __m512i wa, __m512i wb) {
                return _mm512_srli_epi16(
                    _mm512_add_epi16(_mm512_mullo_epi16(a, wa), _mm512_mullo_epi16(b, wb)), 8);
            };
            auto lo = [&](__m512i p) { return _mm512_and_si512(p, m); };
            auto hi = [&](__m512i p) { return _mm512_and_si512(_mm512_srli_epi32(p, 8), m); };
            const __m512i topL = lerp(lo(t00), lo(t01), iwx, wx),
                          topH = lerp(hi(t00), hi(t01), iwx, wx);
            const __m512i botL = lerp(lo(t10), lo(t11), iwx, wx),
                          botH = lerp(hi(t10), hi(t11), iwx, wx);
            const __m512i outL = lerp(topL, botL, iwy, wy), outH = lerp(topH, botH, iwy, wy);
            tex = _mm512_or_si512(outL, _mm512_slli_epi32(outH, 8));
        }
        if (Key) mask = _mm512_mask_test_epi32_mask(mask, tex, tex);
        const __m512i one2 = Set1(0x00010001), m = Set1(0x00FF00FF);
        const __m512i crb = _mm512_add_epi32(
            _mm512_or_si512(_mm512_and_si512(vr, hi8), _mm512_srli_epi32(vb, 16)), one2);
        const __m512i cag = _mm512_add_epi32(
            _mm512_or_si512(_mm512_and_si512(va, hi8), _mm512_srli_epi32(vg, 16)), one2);
        rb = _mm512_srli_epi16(_mm512_mullo_epi16(_mm512_and_si512(tex, m), crb), 8);
        ag = _mm512_srli_epi16(
            _mm512_mullo_epi16(_mm512_and_si512(_mm512_srli_epi32(tex, 8), m), cag), 8);
    }
    const __m512i low16 = Set1(0xFFFF);
    __m512i g = _mm512_and_si512(ag, low16);
    if (Blend) {
        const __m512i d = _mm512_cvtepu16_epi32(Load16<Rows>(in.cp, mask));
        const __m512i r5 = _mm512_srli_epi32(d, 11), b5 = _mm512_and_si512(d, Set1(31));
        const __m512i g6 = _mm512_and_si512(_mm512_srli_epi32(d, 5), Set1(63));
        const __m512i dr = _mm512_or_si512(_mm512_slli_epi32(r5, 3), _mm512_srli_epi32(r5, 2));
        const __m512i db = _mm512_or_si512(_mm512_slli_epi32(b5, 3), _mm512_srli_epi32(b5, 2));
        const __m512i dg = _mm512_or_si512(_mm512_slli_epi32(g6, 2), _mm512_srli_epi32(g6, 4));
        const __m512i drb = _mm512_or_si512(_mm512_slli_epi32(dr, 16), db);
        const __m512i a = _mm512_srli_epi32(ag, 16);
        const __m512i aa = _mm512_or_si512(a, _mm512_slli_epi32(a, 16));
        const __m512i ia = _mm512_sub_epi16(Set1(0x00FF00FF), aa);
        const __m512i r128 = Set1(0x00800080);
        auto mix = [&](__m512i src, __m512i dst) {
            __m512i x = _mm512_add_epi16(_mm512_mullo_epi16(src, aa), _mm512_mullo_epi16(dst, ia));
            x = _mm512_add_epi16(x, r128);
            return _mm512_srli_epi16(_mm512_add_epi16(x, _mm512_srli_epi16(x, 8)), 8);
        };
        rb = mix(rb, drb);
        g = _mm512_and_si512(mix(g, dg), low16);
    }
    __m512i rb5 = _mm512_srli_epi16(_mm512_add_epi16(rb, in.d5), 3);
    rb5 = _mm512_sub_epi16(rb5, _mm512_srli_epi16(rb5, 5));
    __m512i g6 = _mm512_srli_epi32(_mm512_add_epi32(g, in.d6), 2);
    g6 = _mm512_sub_epi32(g6, _mm512_srli_epi32(g6, 6));
    const __m512i px =
        _mm512_or_si512(_mm512_or_si512(_mm512_slli_epi32(_mm512_srli_epi32(rb5, 16), 11),
                                        _mm512_slli_epi32(g6, 5)),
                        _mm512_and_si512(rb5, low16));
    Store16<Rows>(in.cp, mask, _mm512_cvtusepi32_epi16(px));
    if (zWrite) Store16<Rows>(in.zp, mask, _mm512_cvtusepi32_epi16(zz));
}
#endif

// Fixed-point steps per pixel along x of a triangle's depth and colour (and, for the AVX2 copy,
// their multiples for the 8 lanes of a group), shared by all its spans.
struct Steps {
    uint32_t dz = 0;
    int32_t dc[4] = {};
    // Small triangles (at most kSegment pixels each way) interpolate u and v linearly between
    // their exact values at the vertices, as a span segment does: u = u0 + gu . (p - p0).
    bool affine = false;
    float x0 = 0, y0 = 0, gux = 0, guy = 0, gvx = 0, gvy = 0;
    uint32_t s0 = 0, t0 = 0, dsx = 0, dtx = 0;
#if SC_SIMD
    SpanVectors v;
    LaneVec dsLane = LaneVec(), dtLane = LaneVec();  // affine only
#endif
#if SC_SIMD == 2
    // The same for a group of two rows: lanes 8-15 step as lanes 0-7; and of four rows: each
    // quarter steps as lanes 0-3.
    SpanVectors pair, quad;
    LaneVec dsPair = LaneVec(), dtPair = LaneVec();  // affine only
    LaneVec dsQuad = LaneVec(), dtQuad = LaneVec();
    __m512i pairStep;  // dz, dc[0..3] in lanes 0-4 and 8-12 (PairStarts)
#endif
    void Init(const float* gx) {
        dz = uint32_t(int32_t(Clamp(gx[kZ] * 32768.0f, -1.0e9f, 1.0e9f)));
        for (int k = 0; k < 4; ++k) dc[k] = int32_t(Clamp(gx[kA + k] * 65536.0f, -1.0e9f, 1.0e9f));
#if SC_SIMD
        v.Lanes(dz, dc[0], dc[1], dc[2], dc[3]);
#endif
#if SC_SIMD == 2
        pair.From(v, LowTwice);
        quad.From(v, LowFour);
        const __m512i step =
            _mm512_setr_epi32(int(dz), dc[0], dc[1], dc[2], dc[3], 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
        pairStep = _mm512_shuffle_i64x2(step, step, 0x44);
#endif
    }
};

// Start value and step of one fixed-point attribute over n pixels: the triangle's step when the
// value stays within [0, top] to the last pixel, else a step from the clamped end values.
inline bool FitStep(float a, float da, float top, float scale, int n, int32_t* start,
                    int32_t* step) {
    float v0 = Clamp(a, 0.0f, top);
    *start = int32_t(v0 * scale);
    int64_t end = int64_t(*start) + int64_t(*step) * (n - 1);
    if (end >= 0 && end <= int64_t(top * scale)) return true;
    float v1 = Clamp(a + da * float(n - 1), 0.0f, top);
    *step = int32_t((v1 - v0) * scale * (0.99999f / float(n - 1)));
    return false;
}

// Draws n pixels of row y from column x; a[] holds the attributes at the first pixel centre and
// dx[] their change per pixel.
// A span's start values of depth and colour and their steps per pixel (FitStep); same: all steps
// are the triangle's.
struct SpanStart {
    int32_t zs, dzs, ch[4], dch[4];
    bool same;
};
inline SpanStart StartValues(const Steps& st, int n, const float* a, const float* dx) {
    SpanStart r;
    r.dzs = int32_t(st.dz);
    r.same = FitStep(a[kZ], dx[kZ], 65535.99f, 32768.0f, n, &r.zs, &r.dzs);
    for (int k = 0; k < 4; ++k) {
        r.dch[k] = st.dc[k];
        r.same &= FitStep(a[kA + k], dx[kA + k], 255.99f, 65536.0f, n, &r.ch[k], &r.dch[k]);
    }
    return r;
}

// u and v of a small triangle's pixel (Steps::affine) as 0.32 fractions.
inline void AffineStart(const Steps& st, int x, int y, uint32_t* s, uint32_t* t) {
    const float px = float(x) + 0.5f - st.x0, py = float(y) + 0.5f - st.y0;
    *s = st.s0 + Step32(st.gux * px + st.guy * py, 1);
    *t = st.t0 + Step32(st.gvx * px + st.gvy * py, 1);
}

template <int TexMode, bool Blend, bool Key, bool ZLess>
void Span(const Ctx& c, const Steps& st, int y, int x, int n, const float* a, const float* dx) {
    const SpanStart start = StartValues(st, n, a, dx);
    // Unsigned: the step after the last pixel may pass 2^31 harmlessly.
    uint32_t z = uint32_t(start.zs);
    const uint32_t dz = uint32_t(start.dzs);
    int32_t ca = start.ch[0], cr = start.ch[1], cg = start.ch[2], cb = start.ch[3];
    const int32_t dca = start.dch[0], dcr = start.dch[1], dcg = start.dch[2], dcb = start.dch[3];

    uint16_t* cp = c.colour + size_t(y) * c.pitch + x;
    uint16_t* zp = c.depth + size_t(y) * c.pitch + x;
    const uint8_t* d5 = c.d5[y & 3];
    const uint8_t* d6 = c.d6[y & 3];
    const bool zWrite = c.depthWrite;

    float sq = a[kS], tq = a[kT], qq = a[kQ];
    float u0 = 0, v0 = 0;
    uint32_t s = 0, t = 0;
    if (TexMode) {
        if (st.affine) {
            AffineStart(st, x, y, &s, &t);
        } else {
            float w = qq > 1e-30f ? 1.0f / qq : 1e30f;
            u0 = sq * w;
            v0 = tq * w;
            s = Frac32(u0);
            t = Frac32(v0);
        }
    }

#if SC_SIMD
    // Groups start at columns x, x + 8 (or 16), ...: the dither phase of lane 0 stays x & 3.
    const DitherVectors& dither = c.dither ? kDitherVectors : kNoDither;
    const LaneVec d5v = dither.d5[y & 3][x & 3], d6v = dither.d6[y & 3][x & 3];
    SpanVectors own;
    const SpanVectors* lanes = &st.v;
    if (!start.same && (TexMode == 0 || c.pot)) {
        own.Lanes(dz, dca, dcr, dcg, dcb);
        lanes = &own;
    }
#endif
    int done = 0;
    while (done < n) {
        const int len = (n - done) < kSegment ? (n - done) : kSegment;
        uint32_t ds = 0, dt = 0;
        if (TexMode && st.affine) {
            ds = st.dsx;
            dt = st.dtx;
        } else if (TexMode) {
            sq += dx[kS] * len;
            tq += dx[kT] * len;
            qq += dx[kQ] * len;
            float w = qq > 1e-30f ? 1.0f / qq : 1e30f;
            float u1 = sq * w, v1 = tq * w;
            ds = Step32(u1 - u0, len);
            dt = Step32(v1 - v0, len);
            u0 = u1;
            v0 = v1;
        }
        const int xs = x + done;
        int i = 0;
#if SC_SIMD == 2
        if (TexMode == 0 || c.pot) {
            LaneVec dsLane = st.dsLane, dtLane = st.dtLane;
            if (TexMode && !st.affine) {
                dsLane = LaneSteps(ds);
                dtLane = LaneSteps(dt);
            }
            GroupIn in;
            in.z = _mm512_add_epi32(Set1(z), lanes->zLane);
            in.a = _mm512_add_epi32(Set1(uint32_t(ca)), lanes->aLane);
            in.r = _mm512_add_epi32(Set1(uint32_t(cr)), lanes->rLane);
            in.g = _mm512_add_epi32(Set1(uint32_t(cg)), lanes->gLane);
            in.b = _mm512_add_epi32(Set1(uint32_t(cb)), lanes->bLane);
            in.s = _mm512_add_epi32(Set1(s), dsLane);
            in.t = _mm512_add_epi32(Set1(t), dtLane);
            in.d5 = d5v;
            in.d6 = d6v;
            in.cp[0] = in.cp[1] = cp;
            in.zp[0] = in.zp[1] = zp;
            in.mask = len >= 16 ? __mmask16(0xFFFF) : __mmask16((1u << len) - 1);
            Group16<TexMode, Blend, Key, ZLess, 1>(c, in, zWrite);
            i = len;
            if (len == kSegment) {  // else this was the span's last segment
                z += dz * kSegment;
                ca += dca * kSegment;
                cr += dcr * kSegment;
                cg += dcg * kSegment;
                cb += dcb * kSegment;
                s += ds * kSegment;
                t += dt * kSegment;
            }
        }
#elif SC_SIMD
        if (TexMode == 0 || c.pot) {
            LaneVec dsLane = st.dsLane, dtLane = st.dtLane;
            if (TexMode && !st.affine) {
                dsLane = LaneSteps(ds);
                dtLane = LaneSteps(dt);
            }
            const __m256i all = _mm256_set1_epi32(-1);
            for (; i + 8 <= len; i += 8) {
                Group8<TexMode, Blend, Key, ZLess>(c, *lanes, d5v, d6v, cp + i, zp + i, z, ca, cr,
                                                   cg, cb, s, t, dsLane, dtLane, zWrite, all);
                z += dz * 8;
                ca += dca * 8;
                cr += dcr * 8;
                cg += dcg * 8;
                cb += dcb * 8;
                s += ds * 8;
                t += dt * 8;
            }
            // The last few pixels of the span as one group with the lanes past its end off, when
            // 8 pixels from here stay inside the row (they are read and written back as read; a
            // row belongs to one thread, so no other thread writes them meanwhile).
            if (i < len && xs + i + 8 <= c.pitch) {
                const __m256i live = _mm256_cmpgt_epi32(_mm256_set1_epi32(len - i), kLane);
                Group8<TexMode, Blend, Key, ZLess>(c, *lanes, d5v, d6v, cp + i, zp + i, z, ca, cr,
                                                   cg, cb, s, t, dsLane, dtLane, zWrite, live);
                i = len;
            }
        }
#endif
        for (; i < len; ++i) {
            const int px = xs + i;
            uint32_t zz = z >> 15;
            bool draw = true;
            if (ZLess) draw = zz < zp[i];
            uint32_t sa = uint32_t(ca) >> 16, sr = uint32_t(cr) >> 16;
            uint32_t sg = uint32_t(cg) >> 16, sb = uint32_t(cb) >> 16;
            if (draw && TexMode) {
                uint32_t tex = Fetch<TexMode>(c, s, t);
                if (Key && tex == 0) draw = false;
                sa = ((tex >> 24) * (sa + 1)) >> 8;
                sr = (((tex >> 16) & 0xFF) * (sr + 1)) >> 8;
                sg = (((tex >> 8) & 0xFF) * (sg + 1)) >> 8;
                sb = ((tex & 0xFF) * (sb + 1)) >> 8;
            }
            if (draw) {
                if (Blend) {
                    uint32_t d = cp[i];
                    uint32_t dr = d >> 11, dg = (d >> 5) & 63, db = d & 31;
                    dr = (dr << 3) | (dr >> 2);
                    dg = (dg << 2) | (dg >> 4);
                    db = (db << 3) | (db >> 2);
                    uint32_t ia = 255 - sa;
                    sr = Blend255(sr * sa + dr * ia);
                    sg = Blend255(sg * sa + dg * ia);
                    sb = Blend255(sb * sa + db * ia);
                }
                uint32_t r5 = (sr + d5[px & 3]) >> 3, g6 = (sg + d6[px & 3]) >> 2;
                uint32_t b5 = (sb + d5[px & 3]) >> 3;
                r5 -= r5 >> 5;
                g6 -= g6 >> 6;
                b5 -= b5 >> 5;
                cp[i] = uint16_t((r5 << 11) | (g6 << 5) | b5);
                if (zWrite) zp[i] = uint16_t(zz);
            }
            z += dz;
            ca += dca;
            cr += dcr;
            cg += dcg;
            cb += dcb;
            if (TexMode) {
                s += ds;
                t += dt;
            }
        }
        cp += len;
        zp += len;
        done += len;
    }
}

#if SC_SIMD == 2
// Two spans of at most 8 pixels each (rows ya and yb; nb may be 0) as one group of 16 lanes, when
// both step by the triangle's steps and their texture coordinates step linearly (no texture, or a
// small triangle's: Steps::affine); else one after the other. Same pixels as Span draws.
// The start values of depth and colour (StartValues) of spans a and b at once, a's in lanes 0-4
// and b's in lanes 8-12 (z, a, r, g, b), with the same float and integer steps as FitStep. False
// when a value of either span would leave its range with the triangle's step: StartValues then
// gives the spans steps of their own.
inline bool PairStarts(const Steps& st, int na, const float* a, int nb, const float* b,
                       __m512i* start) {
    const __m512 v = _mm512_castpd_ps(
        _mm512_insertf64x4(_mm512_castps_pd(_mm512_castps256_ps512(_mm256_loadu_ps(a))),
                           _mm256_castps_pd(_mm256_loadu_ps(b)), 1));
    const __m512 top = _mm512_setr_ps(65535.99f, 255.99f, 255.99f, 255.99f, 255.99f, 0, 0, 0,
                                      65535.99f, 255.99f, 255.99f, 255.99f, 255.99f, 0, 0, 0);
    const __m512 scale = _mm512_setr_ps(32768.0f, 65536.0f, 65536.0f, 65536.0f, 65536.0f, 0, 0, 0,
                                        32768.0f, 65536.0f, 65536.0f, 65536.0f, 65536.0f, 0, 0, 0);
    // Clamp(v, 0, top): the lower bound wins, as there; NaN stays NaN.
    __m512 v0 = _mm512_mask_blend_ps(_mm512_cmp_ps_mask(v, top, _CMP_GT_OQ), v, top);
    v0 = _mm512_mask_blend_ps(_mm512_cmp_ps_mask(v, _mm512_setzero_ps(), _CMP_LT_OQ), v0,
                              _mm512_setzero_ps());
    const __m512i s = _mm512_cvttps_epi32(_mm512_mul_ps(v0, scale));
    const __m512i step = st.pairStep;
    const __m512i last = Halves(uint32_t(na - 1), uint32_t(nb - 1));
    const int64_t zTop = int64_t(65535.99f * 32768.0f), cTop = int64_t(255.99f * 65536.0f);
    const __m512i limit = _mm512_setr_epi64(zTop, cTop, cTop, cTop, cTop, 0, 0, 0);
    auto inRange = [&](__m256i s8, __m256i step8, __m256i last8) {
        const __m512i end = _mm512_add_epi64(
            _mm512_cvtepi32_epi64(s8),
            _mm512_mul_epi32(_mm512_cvtepi32_epi64(step8), _mm512_cvtepi32_epi64(last8)));
        return unsigned(_mm512_cmpge_epi64_mask(end, _mm512_setzero_si512()) &
                        _mm512_cmple_epi64_mask(end, limit));
    };
    const unsigned ok = inRange(_mm512_castsi512_si256(s), _mm512_castsi512_si256(step),
                                _mm512_castsi512_si256(last)) |
                        inRange(_mm512_extracti64x4_epi64(s, 1), _mm512_extracti64x4_epi64(step, 1),
                                _mm512_extracti64x4_epi64(last, 1))
                            << 8;
    *start = s;
    const unsigned need = nb > 0 ? 0x1F1F : 0x1F;
    return (ok & need) == need;
}

// Lane k of v in lanes 0-7 and lane 8 + k in lanes 8-15.
inline __m512i Spread2(__m512i v, int k) {
    return _mm512_permutexvar_epi32(Halves(uint32_t(k), uint32_t(8 + k)), v);
}

template <int TexMode, bool Blend, bool Key, bool ZLess>
void SpanPair(const Ctx& c, const Steps& st, int ya, int xa, int na, const float* a, int yb, int xb,
              int nb, const float* b, const float* dx) {
    __m512i start;
    if (!PairStarts(st, na, a, nb, b, &start)) {
        Span<TexMode, Blend, Key, ZLess>(c, st, ya, xa, na, a, dx);
        if (nb > 0) Span<TexMode, Blend, Key, ZLess>(c, st, yb, xb, nb, b, dx);
        return;
    }
    GroupIn in;
    in.z = _mm512_add_epi32(Spread2(start, kZ), st.pair.zLane);
    in.a = _mm512_add_epi32(Spread2(start, kA), st.pair.aLane);
    in.r = _mm512_add_epi32(Spread2(start, kR), st.pair.rLane);
    in.g = _mm512_add_epi32(Spread2(start, kG), st.pair.gLane);
    in.b = _mm512_add_epi32(Spread2(start, kB), st.pair.bLane);
    in.s = in.t = _mm512_setzero_si512();
    if (TexMode) {
        // AffineStart of both rows: s and t of row a, then of row b, in 4 lanes.
        const __m128 px = _mm_sub_ps(
            _mm_add_ps(_mm_setr_ps(float(xa), float(xa), float(xb), float(xb)), _mm_set1_ps(0.5f)),
            _mm_set1_ps(st.x0));
        const __m128 py = _mm_sub_ps(
            _mm_add_ps(_mm_setr_ps(float(ya), float(ya), float(yb), float(yb)), _mm_set1_ps(0.5f)),
            _mm_set1_ps(st.y0));
        const __m128 d = _mm_add_ps(_mm_mul_ps(_mm_setr_ps(st.gux, st.gvx, st.gux, st.gvx), px),
                                    _mm_mul_ps(_mm_setr_ps(st.guy, st.gvy, st.guy, st.gvy), py));
        // Step32(d, 1): 0 outside (-1e9, 1e9) and for NaN.
        const __mmask8 fits = _mm_cmp_ps_mask(d, _mm_set1_ps(-1.0e9f), _CMP_GT_OQ) &
                              _mm_cmp_ps_mask(d, _mm_set1_ps(1.0e9f), _CMP_LT_OQ);
        const __m256i steps = _mm256_maskz_cvttpd_epi64(
            fits, _mm256_mul_pd(_mm256_cvtps_pd(d), _mm256_set1_pd(4294967296.0)));
        const __m128i st4 =
            _mm_add_epi32(_mm256_cvtepi64_epi32(steps),
                          _mm_setr_epi32(int(st.s0), int(st.t0), int(st.s0), int(st.t0)));
        const __m512i both = _mm512_castsi128_si512(st4);
        in.s = _mm512_add_epi32(_mm512_permutexvar_epi32(Halves(0, 2), both), st.dsPair);
        in.t = _mm512_add_epi32(_mm512_permutexvar_epi32(Halves(1, 3), both), st.dtPair);
    }
    const DitherVectors& dither = c.dither ? kDitherVectors : kNoDither;
    in.d5 = _mm512_inserti64x4(dither.d5[ya & 3][xa & 3],
                               _mm512_castsi512_si256(dither.d5[yb & 3][xb & 3]), 1);
    in.d6 = _mm512_inserti64x4(dither.d6[ya & 3][xa & 3],
                               _mm512_castsi512_si256(dither.d6[yb & 3][xb & 3]), 1);
    in.cp[0] = c.colour + size_t(ya) * c.pitch + xa;
    in.cp[1] = c.colour + size_t(yb) * c.pitch + xb;
    in.zp[0] = c.depth + size_t(ya) * c.pitch + xa;
    in.zp[1] = c.depth + size_t(yb) * c.pitch + xb;
    in.mask = __mmask16(((1u << na) - 1) | (((1u << nb) - 1) << 8));
    Group16<TexMode, Blend, Key, ZLess, 2>(c, in, c.depthWrite);
}

// A row of at most 4 pixels waiting for three others: its place and its attributes at the first
// pixel centre.
struct ShortRow {
    int y, x, n;
    float f[kAttrs];
};

// Four rows of at most 4 pixels as one group of 16 lanes, a quarter each, under the conditions of
// SpanPair; else one after the other. Same pixels as Span draws.
template <int TexMode, bool Blend, bool Key, bool ZLess>
void SpanQuad(const Ctx& c, const Steps& st, const ShortRow* r, const float* dx) {
    __m512i s01, s23;
    if (!PairStarts(st, r[0].n, r[0].f, r[1].n, r[1].f, &s01) ||
        !PairStarts(st, r[2].n, r[2].f, r[3].n, r[3].f, &s23)) {
        for (int i = 0; i < 4; ++i)
            Span<TexMode, Blend, Key, ZLess>(c, st, r[i].y, r[i].x, r[i].n, r[i].f, dx);
        return;
    }
    // Lane k of rows 0, 1 (s01 lanes k, 8 + k) and rows 2, 3 (s23 lanes k, 8 + k), a quarter each.
    const __m512i quarters =
        _mm512_setr_epi32(0, 0, 0, 0, 8, 8, 8, 8, 16, 16, 16, 16, 24, 24, 24, 24);
    auto spread = [&](int k) {
        return _mm512_permutex2var_epi32(s01, _mm512_add_epi32(quarters, Set1(uint32_t(k))), s23);
    };
    GroupIn in;
    in.z = _mm512_add_epi32(spread(kZ), st.quad.zLane);
    in.a = _mm512_add_epi32(spread(kA), st.quad.aLane);
    in.r = _mm512_add_epi32(spread(kR), st.quad.rLane);
    in.g = _mm512_add_epi32(spread(kG), st.quad.gLane);
    in.b = _mm512_add_epi32(spread(kB), st.quad.bLane);
    in.s = in.t = _mm512_setzero_si512();
    if (TexMode) {
        // AffineStart of the four rows: s and t of each, in 8 lanes.
        // The first pixel centres of the rows relative to the triangle's first vertex, twice each.
        auto centres = [&](int ShortRow::*at, float origin) {
            const float q0 = float(r[0].*at), q1 = float(r[1].*at);
            const float q2 = float(r[2].*at), q3 = float(r[3].*at);
            return _mm256_sub_ps(
                _mm256_add_ps(_mm256_setr_ps(q0, q0, q1, q1, q2, q2, q3, q3), _mm256_set1_ps(0.5f)),
                _mm256_set1_ps(origin));
        };
        const __m256 px = centres(&ShortRow::x, st.x0), py = centres(&ShortRow::y, st.y0);
        const __m256 gx =
            _mm256_setr_ps(st.gux, st.gvx, st.gux, st.gvx, st.gux, st.gvx, st.gux, st.gvx);
        const __m256 gy =
            _mm256_setr_ps(st.guy, st.gvy, st.guy, st.gvy, st.guy, st.gvy, st.guy, st.gvy);
        const __m256 d = _mm256_add_ps(_mm256_mul_ps(gx, px), _mm256_mul_ps(gy, py));
        // Step32(d, 1): 0 outside (-1e9, 1e9) and for NaN.
        const __mmask8 fits = _mm256_cmp_ps_mask(d, _mm256_set1_ps(-1.0e9f), _CMP_GT_OQ) &
                              _mm256_cmp_ps_mask(d, _mm256_set1_ps(1.0e9f), _CMP_LT_OQ);
        const __m512i steps = _mm512_maskz_cvttpd_epi64(
            fits, _mm512_mul_pd(_mm512_cvtps_pd(d), _mm512_set1_pd(4294967296.0)));
        const int s0 = int(st.s0), t0 = int(st.t0);
        const __m256i st8 = _mm256_add_epi32(_mm512_cvtepi64_epi32(steps),
                                             _mm256_setr_epi32(s0, t0, s0, t0, s0, t0, s0, t0));
        const __m512i all = _mm512_castsi256_si512(st8);
        const __m512i sIdx = _mm512_setr_epi32(0, 0, 0, 0, 2, 2, 2, 2, 4, 4, 4, 4, 6, 6, 6, 6);
        in.s = _mm512_add_epi32(_mm512_permutexvar_epi32(sIdx, all), st.dsQuad);
        in.t = _mm512_add_epi32(_mm512_permutexvar_epi32(_mm512_add_epi32(sIdx, Set1(1)), all),
                                st.dtQuad);
    }
    const DitherVectors& dither = c.dither ? kDitherVectors : kNoDither;
    in.d5 = dither.d5[r[0].y & 3][r[0].x & 3];
    in.d6 = dither.d6[r[0].y & 3][r[0].x & 3];
    for (int i = 1; i < 4; ++i) {
        // Quarter i: lanes 0-3 of row i's thresholds (the insert's lane is a constant).
        const __m128i q5 = _mm512_castsi512_si128(dither.d5[r[i].y & 3][r[i].x & 3]);
        const __m128i q6 = _mm512_castsi512_si128(dither.d6[r[i].y & 3][r[i].x & 3]);
        if (i == 1) {
            in.d5 = _mm512_inserti32x4(in.d5, q5, 1);
            in.d6 = _mm512_inserti32x4(in.d6, q6, 1);
        } else if (i == 2) {
            in.d5 = _mm512_inserti32x4(in.d5, q5, 2);
            in.d6 = _mm512_inserti32x4(in.d6, q6, 2);
        } else {
            in.d5 = _mm512_inserti32x4(in.d5, q5, 3);
            in.d6 = _mm512_inserti32x4(in.d6, q6, 3);
        }
    }
    unsigned mask = 0;
    for (int i = 0; i < 4; ++i) {
        in.cp[i] = c.colour + size_t(r[i].y) * c.pitch + r[i].x;
        in.zp[i] = c.depth + size_t(r[i].y) * c.pitch + r[i].x;
        mask |= ((1u << r[i].n) - 1) << (4 * i);
    }
    in.mask = __mmask16(mask);
    Group16<TexMode, Blend, Key, ZLess, 4>(c, in, c.depthWrite);
}
#endif

struct Vtx {
    int64_t X, Y;     // 1/16 pixels
    float x, y;       // the same in pixels
    float f[kAttrs];  // z, a, r, g, b, s, t, q
    float u, v;       // texture coordinates as given
};

inline bool Snap(const ScVertex& in, const Ctx& c, bool persp, Vtx* out) {
    if (!(in.x >= -kMaxCoord && in.x <= kMaxCoord && in.y >= -kMaxCoord && in.y <= kMaxCoord))
        return false;
    const float fx = in.x * kSub, fy = in.y * kSub;  // exact: a power of two
    out->X = int64_t(fx + (fx >= 0 ? 0.5f : -0.5f));
    out->Y = int64_t(fy + (fy >= 0 ? 0.5f : -0.5f));
    out->x = float(out->X) / kSub;
    out->y = float(out->Y) / kSub;
    float z = in.z * c.depthScale;
    out->f[kZ] = z == z ? Clamp(z, -1.0f, 65537.0f) : 0.0f;
    out->f[kA] = float(in.color >> 24);
    out->f[kR] = float((in.color >> 16) & 0xFF);
    out->f[kG] = float((in.color >> 8) & 0xFF);
    out->f[kB] = float(in.color & 0xFF);
    float q = persp ? in.rhw : 1.0f;
    float u = std::isfinite(in.u) ? in.u : 0.0f, v = std::isfinite(in.v) ? in.v : 0.0f;
    out->u = u;
    out->v = v;
    out->f[kS] = u * q;
    out->f[kT] = v * q;
    out->f[kQ] = q;
    return true;
}

inline bool GoodRhw(float r) { return r > 1e-20f && r < 1e20f; }

template <int TexMode, bool Blend, bool Key, bool ZLess>
void Rows(const Ctx& c, const Vtx& v0, const Vtx& v1, const Vtx& v2, bool longLeft, const float* gx,
          const float* gy, const Steps& st) {
    // Rows whose centres lie in [Y0, Y2), split at Y1.
    auto firstRow = [](int64_t Y) { return (Y - kSub / 2 + kSub - 1) >> 4; };  // ceil((Y-8)/16)
    int64_t yTop = firstRow(v0.Y), yMid = firstRow(v1.Y), yBot = firstRow(v2.Y);
    if (yTop < c.cy0) yTop = c.cy0;
    if (yBot > c.cy1) yBot = c.cy1;
    if (yTop >= yBot) return;

#if SC_SIMD != 2
    // Without a texture, or with u and v linear across the triangle, 1/w and friends are unused.
    const int used = (TexMode == 0 || st.affine) ? kS : kAttrs;
#endif
    float rows[2][kAttrs] = {};
    float* row = rows[0];
#if SC_SIMD == 2
    const bool pairs = TexMode == 0 || (st.affine && c.pot);
    static_assert(kAttrs == 8);
    const __m256 vf = _mm256_loadu_ps(v0.f), vgx = _mm256_loadu_ps(gx), vgy = _mm256_loadu_ps(gy);
    bool held = false;  // a short row waiting for another
    int heldY = 0, heldX = 0, heldN = 0;
    const float* heldRow = nullptr;
    ShortRow quad[4];  // rows of at most 4 pixels waiting for a group of their own
    int quadRows = 0;
#endif
    Edge lng;
    lng.Start(v0.X, v0.Y, v2.X, v2.Y, int(yTop));
    for (int part = 0; part < 2; ++part) {
        const Vtx& a = part == 0 ? v0 : v1;
        const Vtx& b = part == 0 ? v1 : v2;
        int64_t y0 = part == 0 ? yTop : (yMid > yTop ? yMid : yTop);
        int64_t y1 = part == 0 ? (yMid < yBot ? yMid : yBot) : yBot;
        if (y0 >= y1 || b.Y == a.Y) continue;
        Edge sht;
        sht.Start(a.X, a.Y, b.X, b.Y, int(y0));
        Edge& left = longLeft ? lng : sht;
        Edge& right = longLeft ? sht : lng;
        for (int64_t y = y0; y < y1; ++y) {
            int64_t xl = left.i, xr = right.i;
            if (xl < c.cx0) xl = c.cx0;
            if (xr > c.cx1) xr = c.cx1;
            if (xl < xr) {
                if (y + 1 < y1) {
                    // The next row's pixels come from memory while this one is drawn.
                    const size_t next = size_t(y + 1) * c.pitch + size_t(xl);
                    __builtin_prefetch(c.colour + next, 1);
                    __builtin_prefetch(c.depth + next, 1);
                }
                float px = float(xl) + 0.5f - v0.x, py = float(y) + 0.5f - v0.y;
#if SC_SIMD == 2
                // All 8 at once, in the same order of operations (the ones past `used` go unread):
                // the vector loads of SpanPair then take them straight from this store.
                const __m256 attrs =
                    _mm256_add_ps(_mm256_add_ps(vf, _mm256_mul_ps(vgx, _mm256_set1_ps(px))),
                                  _mm256_mul_ps(vgy, _mm256_set1_ps(py)));
                if (pairs && xr - xl <= 4) {
                    // Rows of at most 4 pixels go four to a group (a triangle's rows share no
                    // pixel, so the order they are drawn in does not matter).
                    ShortRow& q = quad[quadRows++];
                    q.y = int(y);
                    q.x = int(xl);
                    q.n = int(xr - xl);
                    _mm256_storeu_ps(q.f, attrs);
                    if (quadRows == 4) {
                        SpanQuad<TexMode, Blend, Key, ZLess>(c, st, quad, gx);
                        quadRows = 0;
                    }
                    left.Step();
                    right.Step();
                    continue;
                }
                _mm256_storeu_ps(row, attrs);
#else
                for (int k = 0; k < used; ++k) row[k] = v0.f[k] + gx[k] * px + gy[k] * py;
#endif
#if SC_SIMD == 2
                // Rows of at most 8 pixels go two to a group.
                if (pairs && xr - xl <= 8) {
                    if (held) {
                        SpanPair<TexMode, Blend, Key, ZLess>(c, st, heldY, heldX, heldN, heldRow,
                                                             int(y), int(xl), int(xr - xl), row,
                                                             gx);
                        held = false;
                    } else {
                        held = true;
                        heldY = int(y);
                        heldX = int(xl);
                        heldN = int(xr - xl);
                        heldRow = row;  // the next row goes to the other buffer
                        row = rows[row == rows[0] ? 1 : 0];
                    }
                } else
#endif
                    Span<TexMode, Blend, Key, ZLess>(c, st, int(y), int(xl), int(xr - xl), row, gx);
            }
            left.Step();
            right.Step();
        }
    }
#if SC_SIMD == 2
    // The short rows left over (at most one of up to 8 pixels and three of up to 4), two to a
    // group; the last one alone, in the lower half of a group.
    if (held) {
        if (quadRows > 0) {
            const ShortRow& q = quad[--quadRows];
            SpanPair<TexMode, Blend, Key, ZLess>(c, st, heldY, heldX, heldN, heldRow, q.y, q.x, q.n,
                                                 q.f, gx);
        } else {
            SpanPair<TexMode, Blend, Key, ZLess>(c, st, heldY, heldX, heldN, heldRow, heldY, heldX,
                                                 0, heldRow, gx);
        }
    }
    for (int i = 0; i < quadRows; i += 2) {
        const ShortRow& a = quad[i];
        const ShortRow& b = quad[i + 1 < quadRows ? i + 1 : i];
        SpanPair<TexMode, Blend, Key, ZLess>(c, st, a.y, a.x, a.n, a.f, b.y, b.x,
                                             i + 1 < quadRows ? b.n : 0, b.f, gx);
    }
#endif
}

template <bool Blend, bool Key, bool ZLess>
void Triangle(const Ctx& c, const ScVertex& p0, const ScVertex& p1, const ScVertex& p2) {
    const bool persp = GoodRhw(p0.rhw) && GoodRhw(p1.rhw) && GoodRhw(p2.rhw);
    Vtx v[3];
    if (!Snap(p0, c, persp, &v[0]) || !Snap(p1, c, persp, &v[1]) || !Snap(p2, c, persp, &v[2]))
        return;
    // Twice the signed area in 1/256 pixels; positive when the vertices run clockwise on screen.
    int64_t area = (v[1].X - v[0].X) * (v[2].Y - v[0].Y) - (v[2].X - v[0].X) * (v[1].Y - v[0].Y);
    if (area == 0) return;
    if ((c.cull == SC_CULL_CW && area > 0) || (c.cull == SC_CULL_CCW && area < 0)) return;
    {
        // No row inside the clip window (or this thread's band): Rows would draw nothing.
        auto firstRow = [](int64_t Y) { return (Y - kSub / 2 + kSub - 1) >> 4; };
        const int64_t top = firstRow(std::min(v[0].Y, std::min(v[1].Y, v[2].Y)));
        const int64_t bottom = firstRow(std::max(v[0].Y, std::max(v[1].Y, v[2].Y)));
        if (std::max<int64_t>(top, c.cy0) >= std::min<int64_t>(bottom, c.cy1)) return;
    }

    // Plane gradients. A textured triangle no larger than a span segment each way interpolates
    // u and v linearly (Steps::affine) and needs no gradients of s, t and q.
    const float inv = float(kSub * kSub) / float(area);
    const float x10 = v[1].x - v[0].x, y10 = v[1].y - v[0].y;
    const float x20 = v[2].x - v[0].x, y20 = v[2].y - v[0].y;
    const int64_t minX = std::min(v[0].X, std::min(v[1].X, v[2].X));
    const int64_t maxX = std::max(v[0].X, std::max(v[1].X, v[2].X));
    const int64_t minY = std::min(v[0].Y, std::min(v[1].Y, v[2].Y));
    const int64_t maxY = std::max(v[0].Y, std::max(v[1].Y, v[2].Y));
    const bool affine =
        c.texels && maxX - minX <= kSegment * kSub && maxY - minY <= kSegment * kSub;
    const int used = (c.texels && !affine) ? kAttrs : kS;
    float gx[kAttrs] = {}, gy[kAttrs] = {};
    for (int k = 0; k < used; ++k) {
        float f10 = v[1].f[k] - v[0].f[k], f20 = v[2].f[k] - v[0].f[k];
        gx[k] = (f10 * y20 - f20 * y10) * inv;
        gy[k] = (f20 * x10 - f10 * x20) * inv;
    }

    Steps st;
    st.Init(gx);
    if (affine) {
        const float u10 = v[1].u - v[0].u, u20 = v[2].u - v[0].u;
        const float w10 = v[1].v - v[0].v, w20 = v[2].v - v[0].v;
        st.affine = true;
        st.x0 = v[0].x;
        st.y0 = v[0].y;
        st.gux = (u10 * y20 - u20 * y10) * inv;
        st.guy = (u20 * x10 - u10 * x20) * inv;
        st.gvx = (w10 * y20 - w20 * y10) * inv;
        st.gvy = (w20 * x10 - w10 * x20) * inv;
        st.s0 = Frac32(v[0].u);
        st.t0 = Frac32(v[0].v);
        st.dsx = Step32(st.gux, 1);
        st.dtx = Step32(st.gvx, 1);
#if SC_SIMD
        st.dsLane = LaneSteps(st.dsx);
        st.dtLane = LaneSteps(st.dtx);
#if SC_SIMD == 2
        st.dsPair = LowTwice(st.dsLane);
        st.dtPair = LowTwice(st.dtLane);
        st.dsQuad = LowFour(st.dsLane);
        st.dtQuad = LowFour(st.dtLane);
#endif
#endif
    }

    int texMode = 0;
    if (c.texels) {
        ScFilter f = c.minify;
        if (c.minify != c.magnify) {
            // Texels per pixel decide between minifying and magnifying: the derivatives of u and
            // v (at the centroid when perspective applies).
            const float W = float(c.tw), H = float(c.th);
            float ux, vx, uy, vy;
            if (affine) {
                ux = st.gux * W;
                vx = st.gvx * H;
                uy = st.guy * W;
                vy = st.gvy * H;
            } else {
                float q = (v[0].f[kQ] + v[1].f[kQ] + v[2].f[kQ]) * (1.0f / 3);
                float s = (v[0].f[kS] + v[1].f[kS] + v[2].f[kS]) * (1.0f / 3);
                float t = (v[0].f[kT] + v[1].f[kT] + v[2].f[kT]) * (1.0f / 3);
                float iq2 = 1.0f / (q * q);
                ux = (gx[kS] * q - s * gx[kQ]) * iq2 * W;
                vx = (gx[kT] * q - t * gx[kQ]) * iq2 * H;
                uy = (gy[kS] * q - s * gy[kQ]) * iq2 * W;
                vy = (gy[kT] * q - t * gy[kQ]) * iq2 * H;
            }
            float rho = std::fmax(ux * ux + vx * vx, uy * uy + vy * vy);
            f = rho <= 1.0f ? c.magnify : c.minify;
        }
        texMode = f == SC_BILINEAR ? 2 : 1;
    }

    // Sort by row (stable for equal rows: keeps the order, which does not matter for coverage).
    const Vtx* a = &v[0];
    const Vtx* b = &v[1];
    const Vtx* d = &v[2];
    if (b->Y < a->Y) std::swap(a, b);
    if (d->Y < b->Y) std::swap(b, d);
    if (b->Y < a->Y) std::swap(a, b);
    // The long edge a-d is on the left when b lies right of it.
    int64_t side = (b->X - a->X) * (d->Y - a->Y) - (b->Y - a->Y) * (d->X - a->X);
    bool longLeft = side > 0;
    switch (texMode) {
    case 0: Rows<0, Blend, Key, ZLess>(c, *a, *b, *d, longLeft, gx, gy, st); break;
    case 1: Rows<1, Blend, Key, ZLess>(c, *a, *b, *d, longLeft, gx, gy, st); break;
    default: Rows<2, Blend, Key, ZLess>(c, *a, *b, *d, longLeft, gx, gy, st); break;
    }
}

// A line from a to b without its last pixel: one pixel per column (or row, when steeper).
template <bool Blend, bool Key, bool ZLess>
void Line(const Ctx& c, const ScVertex& p0, const ScVertex& p1) {
    const bool persp = GoodRhw(p0.rhw) && GoodRhw(p1.rhw);
    Vtx a, b;
    if (!Snap(p0, c, persp, &a) || !Snap(p1, c, persp, &b)) return;
    const float dxp = b.x - a.x, dyp = b.y - a.y;
    const bool steep = std::fabs(dyp) > std::fabs(dxp);
    const float major0 = steep ? a.y : a.x, major1 = steep ? b.y : b.x;
    const float dmaj = major1 - major0;
    if (dmaj == 0.0f) return;
    const float dmin = steep ? dxp : dyp, minor0 = steep ? a.x : a.y;
    const int dir = dmaj > 0 ? 1 : -1;
    // Pixels whose centre the major coordinate passes, from the start up to (not including) the end.
    int64_t i0 = dir > 0 ? int64_t(std::ceil(major0 - 0.5f)) : int64_t(std::floor(major0 - 0.5f));
    int64_t i1 = dir > 0 ? int64_t(std::ceil(major1 - 0.5f)) : int64_t(std::floor(major1 - 0.5f));
    const int64_t lo = steep ? c.cy0 : c.cx0, hi = steep ? c.cy1 - 1 : c.cx1 - 1;
    if (dir > 0) {
        if (i0 < lo) i0 = lo;
        if (i1 > hi + 1) i1 = hi + 1;
    } else {
        if (i0 > hi) i0 = hi;
        if (i1 < lo - 1) i1 = lo - 1;
    }
    const float zero[kAttrs] = {};
    Steps none;
    none.Init(zero);
    float f[kAttrs];
    const int texMode = c.texels ? (c.minify == SC_BILINEAR ? 2 : 1) : 0;
    for (int64_t i = i0; i != i1 && (dir > 0 ? i < i1 : i > i1); i += dir) {
        float t = (float(i) + 0.5f - major0) / dmaj;
        int64_t m = int64_t(std::floor(minor0 + dmin * t));
        int64_t px = steep ? m : i, py = steep ? i : m;
        if (px < c.cx0 || px >= c.cx1 || py < c.cy0 || py >= c.cy1) continue;
        for (int k = 0; k < kAttrs; ++k) f[k] = a.f[k] + (b.f[k] - a.f[k]) * t;
        switch (texMode) {
        case 0: Span<0, Blend, Key, ZLess>(c, none, int(py), int(px), 1, f, zero); break;
        case 1: Span<1, Blend, Key, ZLess>(c, none, int(py), int(px), 1, f, zero); break;
        default: Span<2, Blend, Key, ZLess>(c, none, int(py), int(px), 1, f, zero); break;
        }
    }
}

using TriangleFn = void (*)(const Ctx&, const ScVertex&, const ScVertex&, const ScVertex&);
using LineFn = void (*)(const Ctx&, const ScVertex&, const ScVertex&);

template <bool Blend, bool Key, bool ZLess>
constexpr TriangleFn kTri = &Triangle<Blend, Key, ZLess>;
const TriangleFn kTriangles[8] = {kTri<false, false, false>, kTri<false, false, true>,
                                  kTri<false, true, false>,  kTri<false, true, true>,
                                  kTri<true, false, false>,  kTri<true, false, true>,
                                  kTri<true, true, false>,   kTri<true, true, true>};
template <bool Blend, bool Key, bool ZLess>
constexpr LineFn kLn = &Line<Blend, Key, ZLess>;
const LineFn kLines[8] = {kLn<false, false, false>, kLn<false, false, true>,
                          kLn<false, true, false>,  kLn<false, true, true>,
                          kLn<true, false, false>,  kLn<true, false, true>,
                          kLn<true, true, false>,   kLn<true, true, true>};

// A triangle reaching behind the near plane: its part in front as a fan (when tri is given). 1
// when anything is.
__attribute__((noinline)) int DrawCut(const Ctx& c, TriangleFn tri, const ScVertex& p0,
                                      const ScVertex& p1, const ScVertex& p2, float sign) {
    ScVertex poly[kScClipMax];
    const int n = ScClipTriangle(p0, p1, p2, sign, poly);
    if (tri)
        for (int k = 1; k + 1 < n; ++k) tri(c, poly[0], poly[k], poly[k + 1]);
    return n >= 3;
}

}  // namespace

int Draw(ScCard* card, const ScDrawState& s, int y0, int y1, ScPrim prim, const ScVertex* v,
         int count, bool draw) {
    if (!card || !v) return -1;
    if (prim != SC_TRIANGLES && prim != SC_STRIP && prim != SC_FAN && prim != SC_POLYGON &&
        prim != SC_LINE_STRIP)
        return -1;
    Ctx c;
    c.colour = card->colour[s.target == SC_FRONT ? 0 : 1].data();
    c.depth = card->depth.data();
    c.pitch = card->width;
    c.size = size_t(card->width) * card->height;
    c.cx0 = s.clipX0;
    c.cy0 = s.clipY0;
    c.cx1 = s.clipX1;
    c.cy1 = s.clipY1;
    c.depthWrite = s.depthWrite;
    c.depthScale = s.depthScale;
    const ScTexture* tex = s.texture;
    c.texels = tex && !tex->texels.empty() ? tex->texels.data() : nullptr;
    c.tw = tex ? uint32_t(tex->width) : 1;
    c.th = tex ? uint32_t(tex->height) : 1;
    c.tpitch = c.tw + 1;
    c.pot = (c.tw & (c.tw - 1)) == 0 && (c.th & (c.th - 1)) == 0;
    c.lw = c.pot ? __builtin_ctz(c.tw) : 0;
    c.lh = c.pot ? __builtin_ctz(c.th) : 0;
    c.minify = s.minify;
    c.magnify = s.magnify;
    c.d5 = s.dither ? kDither.d5 : kDither.zero;
    c.d6 = s.dither ? kDither.d6 : kDither.zero;
    c.dither = s.dither;
    c.cull = s.cull;
    const bool key = c.texels && s.colorKey && tex->keyed;
    const int fn = (s.blend ? 4 : 0) | (key ? 2 : 0) | (s.depthFunc == SC_DEPTH_LESS ? 1 : 0);
    if (c.cx0 >= c.cx1 || c.cy0 >= c.cy1) return 0;
    // A band of rows: what lies outside it is another thread's (the count is the same).
    if (y0 > c.cy0) c.cy0 = y0;
    if (y1 < c.cy1) c.cy1 = y1;
    if (draw && c.cy0 >= c.cy1) return 0;

    // Triangles and lines wholly in front of the near plane go straight to the rasteriser; the
    // others are cut first (sc_clip.cpp) and the part in front drawn as a fan.
    const float sign = ScDepthSign(s.depthScale);
    int drawn = 0;
    if (prim == SC_LINE_STRIP) {
        const LineFn line = kLines[fn];
        for (int i = 0; i + 1 < count; ++i) {
            if (ScInFront(v[i], sign) && ScInFront(v[i + 1], sign)) {
                if (draw) line(c, v[i], v[i + 1]);
                ++drawn;
                continue;
            }
            ScVertex cut[2];
            if (!ScClipLine(v[i], v[i + 1], sign, cut)) continue;
            if (draw) line(c, cut[0], cut[1]);
            ++drawn;
        }
        return drawn;
    }
    const TriangleFn tri = draw ? kTriangles[fn] : nullptr;
    auto one = [&](const ScVertex& p0, const ScVertex& p1, const ScVertex& p2) {
        // Without branches: the three tests as integers.
        if (__builtin_expect(
                int{ScInFront(p0, sign)} & int{ScInFront(p1, sign)} & int{ScInFront(p2, sign)},
                1)) {
            if (tri) tri(c, p0, p1, p2);
            ++drawn;
        } else {
            drawn += DrawCut(c, tri, p0, p1, p2, sign);
        }
    };
    switch (prim) {
    case SC_TRIANGLES:
        for (int i = 0; i + 2 < count; i += 3) one(v[i], v[i + 1], v[i + 2]);
        break;
    case SC_STRIP:
        for (int i = 0; i + 2 < count; ++i) {
            if (i & 1)
                one(v[i + 1], v[i], v[i + 2]);
            else
                one(v[i], v[i + 1], v[i + 2]);
        }
        break;
    default:  // fan, polygon
        for (int i = 1; i + 1 < count; ++i) one(v[0], v[i], v[i + 1]);
        break;
    }
    return drawn;
}

}  // namespace SC_NS
