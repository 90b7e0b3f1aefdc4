// sc_clip.cpp: the near-plane cut of triangles and lines that reach behind the camera.
//
// A vertex is taken back to homogeneous form from its screen position and 1/w: W = 1/rhw,
// X = x W, Y = y W, Z = z W. Position, depth and every attribute (colour channels, u, v) vary
// linearly along an edge in this form, so a point found at parameter t between two vertices is
// exact and its texture coordinates perspective-correct. Two planes are cut against, in order:
//   near:   Z = 0, the minimum of the depth range (the stored depth 0) of either stand-in;
//   camera: W = kScMinW, so that no point at or behind the camera survives even when the depths
//           say nothing (all 0, say).
// A cut point is always computed from the vertex in front towards the one behind, so two triangles
// sharing an edge cut it at the same point. Vertices in front are handed on exactly as given.
#include <cmath>
#include <cstdint>

#include "sc_internal.h"

namespace {

struct Hv {
    float h[4];  // X, Y, Z, W
    float f[6];  // a, r, g, b, u, v
    int source;  // the given vertex this is (0..2), -1 for a cut point
};
enum { kX, kY, kZ, kW };

// False for a vertex that has no homogeneous form: rhw 0, NaN or infinite, or a position or
// depth that overflows when multiplied by w.
bool Lift(const ScVertex& in, int source, Hv* out) {
    if (!std::isfinite(in.rhw) || in.rhw == 0.0f) return false;
    const float w = 1.0f / in.rhw;
    const float z = in.z == in.z ? in.z : 0.0f;
    out->h[kX] = in.x * w;
    out->h[kY] = in.y * w;
    out->h[kZ] = z * w;
    out->h[kW] = w;
    for (float v : out->h)
        if (!std::isfinite(v)) return false;
    out->f[0] = float(in.color >> 24);
    out->f[1] = float((in.color >> 16) & 0xFF);
    out->f[2] = float((in.color >> 8) & 0xFF);
    out->f[3] = float(in.color & 0xFF);
    out->f[4] = in.u;
    out->f[5] = in.v;
    out->source = source;
    return true;
}

// Signed distance to plane p (0 near, 1 camera); >= 0 is kept.
inline float Dist(const Hv& v, int p, float sign) {
    return p == 0 ? v.h[kZ] * sign : v.h[kW] - kScMinW;
}

// The point where the edge from `in` (kept) to `out` (cut away) crosses plane p.
Hv Cut(const Hv& in, const Hv& out, int p, float sign) {
    const float din = Dist(in, p, sign), dout = Dist(out, p, sign);
    const float t = din / (din - dout);  // din >= 0 > dout: t in [0, 1]
    Hv r;
    for (int k = 0; k < 4; ++k) r.h[k] = in.h[k] + (out.h[k] - in.h[k]) * t;
    for (int k = 0; k < 6; ++k) r.f[k] = in.f[k] + (out.f[k] - in.f[k]) * t;
    if (p == 0)
        r.h[kZ] = 0.0f;
    else
        r.h[kW] = kScMinW;
    r.source = -1;
    return r;
}

// One plane of Sutherland-Hodgman: the polygon in[0..n) cut to its kept side, in the same order.
int ClipPlane(const Hv* in, int n, int p, float sign, Hv* out) {
    int m = 0;
    for (int i = 0; i < n; ++i) {
        const Hv& prev = in[i == 0 ? n - 1 : i - 1];
        const Hv& cur = in[i];
        const bool prevIn = Dist(prev, p, sign) >= 0.0f, curIn = Dist(cur, p, sign) >= 0.0f;
        if (curIn) {
            if (!prevIn) out[m++] = Cut(cur, prev, p, sign);
            out[m++] = cur;
        } else if (prevIn) {
            out[m++] = Cut(prev, cur, p, sign);
        }
    }
    return m;
}

uint32_t Channel(float c) {
    if (!(c > 0.0f)) return 0;
    if (c >= 255.0f) return 255;
    return uint32_t(c + 0.5f);
}

ScVertex Drop(const Hv& v, const ScVertex* const* given) {
    if (v.source >= 0) return *given[v.source];
    ScVertex o;
    const float r = 1.0f / v.h[kW];
    o.x = v.h[kX] * r;
    o.y = v.h[kY] * r;
    o.z = v.h[kZ] * r;
    o.rhw = r;
    o.color =
        Channel(v.f[0]) << 24 | Channel(v.f[1]) << 16 | Channel(v.f[2]) << 8 | Channel(v.f[3]);
    o.u = v.f[4];
    o.v = v.f[5];
    return o;
}

}  // namespace

int ScClipTriangle(const ScVertex& a, const ScVertex& b, const ScVertex& c, float depthSign,
                   ScVertex* out) {
    const ScVertex* given[3] = {&a, &b, &c};
    Hv poly[kScClipMax], cut[kScClipMax];
    for (int i = 0; i < 3; ++i)
        if (!Lift(*given[i], i, &poly[i])) return 0;
    // A plane adds one corner per kept run of corners: the triangle has one run (4 corners at
    // most after the first plane), the quad at most two, however the rounding falls (6).
    int n = ClipPlane(poly, 3, 0, depthSign, cut);
    n = ClipPlane(cut, n, 1, depthSign, poly);
    if (n < 3) return 0;
    for (int i = 0; i < n; ++i) out[i] = Drop(poly[i], given);
    return n;
}

bool ScClipLine(const ScVertex& a, const ScVertex& b, float depthSign, ScVertex* out) {
    const ScVertex* given[2] = {&a, &b};
    Hv end[2];
    if (!Lift(a, 0, &end[0]) || !Lift(b, 1, &end[1])) return false;
    for (int p = 0; p < 2; ++p) {
        const bool in0 = Dist(end[0], p, depthSign) >= 0.0f,
                   in1 = Dist(end[1], p, depthSign) >= 0.0f;
        if (!in0 && !in1) return false;
        if (!in0) end[0] = Cut(end[1], end[0], p, depthSign);
        if (!in1) end[1] = Cut(end[0], end[1], p, depthSign);
    }
    out[0] = Drop(end[0], given);
    out[1] = Drop(end[1], given);
    return true;
}
