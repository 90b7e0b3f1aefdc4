// mesh_ops.cpp: primitives, operators, normals, texture projections, emission and skinning.
#include "mesh_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>

// ---- matrices ----

M34 Translate(V3 t) {
    M34 m;
    m.m[0][3] = t.x, m.m[1][3] = t.y, m.m[2][3] = t.z;
    return m;
}

M34 ScaleM(float sx, float sy, float sz) {
    M34 m;
    m.m[0][0] = sx, m.m[1][1] = sy, m.m[2][2] = sz;
    return m;
}

static M34 Rot(int axis, float a) {
    M34 m;
    const float c = std::cos(a), s = std::sin(a);
    const int i = (axis + 1) % 3, j = (axis + 2) % 3;
    m.m[i][i] = c, m.m[i][j] = -s;
    m.m[j][i] = s, m.m[j][j] = c;
    return m;
}

M34 RotX(float a) { return Rot(0, a); }
M34 RotY(float a) { return Rot(1, a); }
M34 RotZ(float a) { return Rot(2, a); }

M34 operator*(const M34& a, const M34& b) {
    M34 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = j == 3 ? a.m[i][3] : 0.0f;
            for (int k = 0; k < 3; ++k) s += a.m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}

V3 Apply(const M34& m, V3 p) {
    return {m.m[0][0] * p.x + m.m[0][1] * p.y + m.m[0][2] * p.z + m.m[0][3],
            m.m[1][0] * p.x + m.m[1][1] * p.y + m.m[1][2] * p.z + m.m[1][3],
            m.m[2][0] * p.x + m.m[2][1] * p.y + m.m[2][2] * p.z + m.m[2][3]};
}

V3 ApplyDir(const M34& m, V3 d) {
    return {m.m[0][0] * d.x + m.m[0][1] * d.y + m.m[0][2] * d.z,
            m.m[1][0] * d.x + m.m[1][1] * d.y + m.m[1][2] * d.z,
            m.m[2][0] * d.x + m.m[2][1] * d.y + m.m[2][2] * d.z};
}

M34 RotateAbout(V3 pivot, const M34& rotation) {
    return Translate(pivot) * rotation * Translate(pivot * -1.0f);
}

float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Length(V3 a) { return std::sqrt(Dot(a, a)); }

static float Axis(V3 p, int a) { return a == 0 ? p.x : a == 1 ? p.y : p.z; }
static void SetAxis(V3* p, int a, float v) { (a == 0 ? p->x : a == 1 ? p->y : p->z) = v; }

// ---- primitives ----

Shape GridShape(V3 origin, V3 eu, V3 ev, int nu, int nv, int texture, int material, float ru,
                float rv) {
    return SurfaceShape(nu, nv, texture, material, ru, rv,
                        [&](float s, float t) { return origin + eu * s + ev * t; });
}

// Coordinates from lo to hi: `bevelCells` steps over the first and last `bevel`, cells of at
// most `cellSize` between.
static std::vector<float> Stations(float lo, float hi, float bevel, float cellSize,
                                   int bevelCells) {
    std::vector<float> out;
    bevel = std::min(bevel, (hi - lo) * 0.5f);
    const int bc = bevel > 0 ? std::max(1, bevelCells) : 0;
    for (int k = 0; k < bc; ++k)
        out.push_back(lo + bevel * static_cast<float>(k) / static_cast<float>(bc));
    const float flat = hi - lo - 2 * bevel;
    const int c =
        cellSize > 0 ? std::clamp(static_cast<int>(std::ceil(flat / cellSize - 1e-3f)), 1, 60) : 1;
    for (int k = 0; k <= c; ++k)
        out.push_back(Mixf(lo + bevel, hi - bevel, static_cast<float>(k) / static_cast<float>(c)));
    for (int k = 1; k <= bc; ++k)
        out.push_back(hi - bevel + bevel * static_cast<float>(k) / static_cast<float>(bc));
    return out;
}

Shape BevelBox(V3 lo, V3 hi, float bevel, float cellSize, int bevelCells, int texture, int material,
               float unitsPerRepeat) {
    Shape out;
    const float k = unitsPerRepeat > 0 ? 1 / unitsPerRepeat : 1;
    const V3 inLo = lo + V3{bevel, bevel, bevel}, inHi = hi - V3{bevel, bevel, bevel};
    for (int a = 0; a < 3; ++a)
        for (int sign = -1; sign <= 1; sign += 2) {
            const int ua = (a + 1) % 3, va = (a + 2) % 3;
            std::vector<float> us =
                Stations(Axis(lo, ua), Axis(hi, ua), bevel, cellSize, bevelCells);
            const std::vector<float> vs =
                Stations(Axis(lo, va), Axis(hi, va), bevel, cellSize, bevelCells);
            // dv x du is -axis with both increasing; the positive face runs u backwards.
            if (sign > 0) std::reverse(us.begin(), us.end());
            Patch p;
            p.kind = PATCH_GRID, p.texture = texture, p.material = material;
            p.nu = static_cast<int>(us.size()) - 1, p.nv = static_cast<int>(vs.size()) - 1;
            for (float v : vs)
                for (float u : us) {
                    V3 q{0, 0, 0};
                    SetAxis(&q, a, sign > 0 ? Axis(hi, a) : Axis(lo, a));
                    SetAxis(&q, ua, u);
                    SetAxis(&q, va, v);
                    MVert mv;
                    mv.p = q;
                    if (bevel > 0) {
                        const V3 inner{std::clamp(q.x, inLo.x, inHi.x),
                                       std::clamp(q.y, inLo.y, inHi.y),
                                       std::clamp(q.z, inLo.z, inHi.z)};
                        mv.p = inner + Normalized(q - inner) * bevel;
                    }
                    mv.u = u * k, mv.v = v * k;
                    p.verts.push_back(mv);
                }
            out.patches.push_back(std::move(p));
        }
    return out;
}

Shape Lathe(const std::vector<float>& radius, const std::vector<float>& z, int segments,
            int texture, int material, float uRepeat, float vRepeat, float a0, float a1) {
    const int n = static_cast<int>(std::min(radius.size(), z.size()));
    std::vector<float> arc(static_cast<size_t>(std::max(n, 1)), 0.0f);
    for (int j = 1; j < n; ++j)
        arc[static_cast<size_t>(j)] =
            arc[static_cast<size_t>(j - 1)] +
            std::hypot(radius[static_cast<size_t>(j)] - radius[static_cast<size_t>(j - 1)],
                       z[static_cast<size_t>(j)] - z[static_cast<size_t>(j - 1)]);
    const float total = n > 1 && arc.back() > 0 ? arc.back() : 1.0f;
    Patch p;
    p.kind = PATCH_GRID, p.nu = segments, p.nv = n - 1, p.texture = texture, p.material = material;
    const float turns = (a1 - a0) / (2 * kPi);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i <= segments; ++i) {
            // The angle falls along u so that dv x du faces away from the axis.
            const float s = static_cast<float>(i) / static_cast<float>(segments);
            const float a = a1 - (a1 - a0) * s;
            MVert v;
            const float r = radius[static_cast<size_t>(j)];
            v.p = {r * std::cos(a), r * std::sin(a), z[static_cast<size_t>(j)]};
            v.u = s * uRepeat * turns, v.v = arc[static_cast<size_t>(j)] / total * vRepeat;
            p.verts.push_back(v);
        }
    Shape out;
    if (n >= 2 && segments >= 1) out.patches.push_back(std::move(p));
    return out;
}

Shape Disc(float r, float z, int segments, bool up, int texture, int material, float uvScale) {
    Patch p;
    p.kind = PATCH_FAN, p.texture = texture, p.material = material;
    MVert c;
    c.p = {0, 0, z};
    c.u = c.v = 0.5f;
    p.verts.push_back(c);
    for (int k = 0; k <= segments; ++k) {
        const float a =
            (up ? 1.0f : -1.0f) * 2 * kPi * static_cast<float>(k) / static_cast<float>(segments);
        MVert v;
        v.p = {r * std::cos(a), r * std::sin(a), z};
        v.u = 0.5f + v.p.x * uvScale, v.v = 0.5f - v.p.y * uvScale;
        p.verts.push_back(v);
    }
    Shape out;
    out.patches.push_back(std::move(p));
    return out;
}

Shape Cylinder(float r, float z0, float z1, int segments, int texture, int material, float uRepeat,
               float vRepeat) {
    Shape s = Lathe({r, r}, {z0, z1}, segments, texture, material, uRepeat, vRepeat);
    Merge(&s, Disc(r, z1, segments, true, texture, material, 0.5f / std::max(r, 1e-3f)));
    Merge(&s, Disc(r, z0, segments, false, texture, material, 0.5f / std::max(r, 1e-3f)));
    return s;
}

Shape Extrude(const std::vector<V3>& path, const std::vector<float>& px,
              const std::vector<float>& py, V3 up, int texture, int material, float uRepeat,
              float vRepeat) {
    const int np = static_cast<int>(std::min(px.size(), py.size())),
              nk = static_cast<int>(path.size());
    Shape out;
    if (np < 2 || nk < 2) return out;
    Patch p;
    p.kind = PATCH_GRID, p.nu = np, p.nv = nk - 1, p.texture = texture, p.material = material;
    for (int k = 0; k < nk; ++k) {
        const V3 t = Normalized(path[static_cast<size_t>(std::min(k + 1, nk - 1))] -
                                path[static_cast<size_t>(std::max(k - 1, 0))]);
        const V3 x = Normalized(Cross(t, up)), y = Cross(x, t);
        for (int i = 0; i <= np; ++i) {
            const size_t q = static_cast<size_t>(i % np);
            MVert v;
            v.p = path[static_cast<size_t>(k)] + x * px[q] + y * py[q];
            v.u = uRepeat * static_cast<float>(i) / static_cast<float>(np);
            v.v = vRepeat * static_cast<float>(k) / static_cast<float>(nk - 1);
            p.verts.push_back(v);
        }
    }
    out.patches.push_back(std::move(p));
    return out;
}

// ---- operators ----

static MVert MidVert(const MVert& a, const MVert& b) {
    MVert m;
    m.p = (a.p + b.p) * 0.5f, m.n = Normalized(a.n + b.n);
    m.u = (a.u + b.u) * 0.5f, m.v = (a.v + b.v) * 0.5f;
    return m;
}

// A fan as a triangle list.
static void FanToTris(Patch* p) {
    if (p->kind != PATCH_FAN) return;
    p->tris.clear();
    for (int k = 1; k + 1 < static_cast<int>(p->verts.size()); ++k)
        p->tris.insert(p->tris.end(), {0, k, k + 1});
    p->kind = PATCH_TRIS;
}

void Subdivide(Shape* s) {
    for (Patch& p : s->patches) {
        if (p.kind == PATCH_GRID) {
            const int w = p.nu + 1, nu = 2 * p.nu, nv = 2 * p.nv;
            std::vector<MVert> out(static_cast<size_t>((nu + 1) * (nv + 1)));
            auto at = [&](int i, int j) { return p.verts[static_cast<size_t>(j * w + i)]; };
            for (int j = 0; j <= nv; ++j)
                for (int i = 0; i <= nu; ++i) {
                    const int i0 = i / 2, j0 = j / 2, i1 = (i + 1) / 2, j1 = (j + 1) / 2;
                    out[static_cast<size_t>(j * (nu + 1) + i)] =
                        MidVert(MidVert(at(i0, j0), at(i1, j0)), MidVert(at(i0, j1), at(i1, j1)));
                }
            p.verts = std::move(out), p.nu = nu, p.nv = nv;
            continue;
        }
        FanToTris(&p);
        std::vector<MVert> verts;
        std::vector<int> tris;
        for (size_t t = 0; t + 2 < p.tris.size(); t += 3) {
            const MVert a = p.verts[static_cast<size_t>(p.tris[t])],
                        b = p.verts[static_cast<size_t>(p.tris[t + 1])],
                        c = p.verts[static_cast<size_t>(p.tris[t + 2])];
            const int base = static_cast<int>(verts.size());
            verts.insert(verts.end(), {a, b, c, MidVert(a, b), MidVert(b, c), MidVert(c, a)});
            for (int q : {0, 3, 5, 3, 1, 4, 5, 4, 2, 3, 4, 5}) tris.push_back(base + q);
        }
        p.verts = std::move(verts), p.tris = std::move(tris);
    }
}

void Displace(Shape* s, const Field& height, float amount) {
    for (Patch& p : s->patches)
        for (MVert& v : p.verts) {
            const float h = Sample(height, v.u * static_cast<float>(height.w),
                                   v.v * static_cast<float>(height.h));
            v.p = v.p + v.n * (amount * (h - 0.5f));
        }
}

void Mirror(Shape* s, int axis) {
    for (Patch& p : s->patches) {
        for (MVert& v : p.verts) {
            SetAxis(&v.p, axis, -Axis(v.p, axis));
            SetAxis(&v.n, axis, -Axis(v.n, axis));
        }
        if (p.kind == PATCH_GRID) {
            for (int j = 0; j <= p.nv; ++j)
                std::reverse(p.verts.begin() + j * (p.nu + 1),
                             p.verts.begin() + (j + 1) * (p.nu + 1));
        } else if (p.kind == PATCH_FAN) {
            std::reverse(p.verts.begin() + 1, p.verts.end());
        } else {
            for (size_t t = 0; t + 2 < p.tris.size(); t += 3)
                std::swap(p.tris[t + 1], p.tris[t + 2]);
        }
    }
}

void Transform(Shape* s, const M34& m) {
    for (Patch& p : s->patches)
        for (MVert& v : p.verts) {
            v.p = Apply(m, v.p);
            v.n = Normalized(ApplyDir(m, v.n));
        }
}

void Merge(Shape* into, const Shape& more) {
    into->patches.insert(into->patches.end(), more.patches.begin(), more.patches.end());
}

Shape Instance(const Shape& s, const M34& m) {
    Shape out = s;
    Transform(&out, m);
    return out;
}

// Calls fn(a, b, c) with vertex indexes for every triangle of the patch, fronts by the rules above.
template <typename Fn>
static void EachTriangle(const Patch& p, Fn fn) {
    if (p.kind == PATCH_GRID) {
        const int w = p.nu + 1;
        for (int j = 0; j < p.nv; ++j)
            for (int i = 0; i < p.nu; ++i) {
                const int a = j * w + i;
                fn(a, a + w, a + 1);
                fn(a + 1, a + w, a + w + 1);
            }
    } else if (p.kind == PATCH_FAN) {
        for (int k = 1; k + 1 < static_cast<int>(p.verts.size()); ++k) fn(0, k, k + 1);
    } else {
        for (size_t t = 0; t + 2 < p.tris.size(); t += 3)
            fn(p.tris[t], p.tris[t + 1], p.tris[t + 2]);
    }
}

void SmoothNormals(Shape* s, float creaseDegrees) {
    // The faces around each vertex, within its own patch.
    struct Ref {
        int64_t x, y, z;
        int patch, vert;
    };
    std::vector<Ref> refs;
    std::vector<std::vector<V3>> own(s->patches.size());
    for (size_t pi = 0; pi < s->patches.size(); ++pi) {
        Patch& p = s->patches[pi];
        std::vector<V3>& o = own[pi];
        o.assign(p.verts.size(), V3{0, 0, 0});
        EachTriangle(p, [&](int a, int b, int c) {
            const V3 n =
                Cross(p.verts[static_cast<size_t>(b)].p - p.verts[static_cast<size_t>(a)].p,
                      p.verts[static_cast<size_t>(c)].p - p.verts[static_cast<size_t>(a)].p);
            for (int q : {a, b, c}) o[static_cast<size_t>(q)] = o[static_cast<size_t>(q)] + n;
        });
        for (size_t v = 0; v < p.verts.size(); ++v) {
            const float len = Length(o[v]);
            o[v] = len > 1e-12f ? o[v] * (1 / len) : V3{0, 0, 0};
            const V3 q = p.verts[v].p;
            refs.push_back({std::llround(q.x * 256.0), std::llround(q.y * 256.0),
                            std::llround(q.z * 256.0), static_cast<int>(pi), static_cast<int>(v)});
        }
    }
    // Vertices at one position share the directions within the crease angle.
    std::sort(refs.begin(), refs.end(), [](const Ref& a, const Ref& b) {
        return std::tie(a.x, a.y, a.z, a.patch, a.vert) < std::tie(b.x, b.y, b.z, b.patch, b.vert);
    });
    const float limit = std::cos(creaseDegrees * kPi / 180.0f);
    for (size_t g = 0; g < refs.size();) {
        size_t e = g + 1;
        while (e < refs.size() && refs[e].x == refs[g].x && refs[e].y == refs[g].y &&
               refs[e].z == refs[g].z)
            ++e;
        for (size_t i = g; i < e; ++i) {
            const V3 mine =
                own[static_cast<size_t>(refs[i].patch)][static_cast<size_t>(refs[i].vert)];
            V3 sum{0, 0, 0};
            for (size_t j = g; j < e; ++j) {
                const V3 other =
                    own[static_cast<size_t>(refs[j].patch)][static_cast<size_t>(refs[j].vert)];
                // A vertex whose own faces are all degenerate (a pole) takes its neighbours'.
                if (i == j || Dot(mine, other) >= limit || Length(mine) == 0) sum = sum + other;
            }
            const float len = Length(sum);
            s->patches[static_cast<size_t>(refs[i].patch)]
                .verts[static_cast<size_t>(refs[i].vert)]
                .n = len > 1e-12f ? sum * (1 / len) : V3{0, 0, 1};
        }
        g = e;
    }
}

void PlanarUV(Shape* s, int axis, float unitsPerRepeat) {
    const float k = 1 / unitsPerRepeat;
    for (Patch& p : s->patches)
        for (MVert& v : p.verts) {
            v.u = Axis(v.p, (axis + 1) % 3) * k;
            v.v = -Axis(v.p, (axis + 2) % 3) * k;
        }
}

void ProjectUV(Shape* s, V3 uAxis, V3 vAxis, float unitsPerRepeat) {
    const float k = 1 / unitsPerRepeat;
    for (Patch& p : s->patches)
        for (MVert& v : p.verts) v.u = Dot(v.p, uAxis) * k, v.v = Dot(v.p, vAxis) * k;
}

void BoxUV(Shape* s, float unitsPerRepeat) {
    const float k = 1 / unitsPerRepeat;
    for (Patch& p : s->patches)
        for (MVert& v : p.verts) {
            const float ax = std::fabs(v.n.x), ay = std::fabs(v.n.y), az = std::fabs(v.n.z);
            const int axis = az >= ax && az >= ay ? 2 : ax >= ay ? 0 : 1;
            if (axis == 2)
                v.u = v.p.x * k, v.v = -v.p.y * k;
            else if (axis == 0)
                v.u = v.p.y * k, v.v = -v.p.z * k;
            else
                v.u = v.p.x * k, v.v = -v.p.z * k;
        }
}

void CylinderUV(Shape* s, V3 centre, float uRepeat, float unitsPerRepeatV) {
    for (Patch& p : s->patches)
        for (MVert& v : p.verts) {
            const float a = std::atan2(v.p.y - centre.y, v.p.x - centre.x);
            v.u = (a / (2 * kPi) + 0.5f) * uRepeat;
            v.v = -(v.p.z - centre.z) / unitsPerRepeatV;
        }
}

void SetSurface(Shape* s, int texture, int material) {
    for (Patch& p : s->patches) p.texture = texture, p.material = material;
}

int TriangleCount(const Shape& s) {
    int n = 0;
    for (const Patch& p : s.patches) EachTriangle(p, [&](int, int, int) { ++n; });
    return n;
}

int VertexCount(const Shape& s) {
    int n = 0;
    for (const Patch& p : s.patches) n += static_cast<int>(p.verts.size());
    return n;
}

// ---- emission ----

void EmitShape(MeshBuild* mb, const Shape& s) {
    for (const Patch& p : s.patches) {
        const int base = static_cast<int>(mb->links.size());
        for (const MVert& v : p.verts) AddPoint(mb, v.p, v.n);
        auto ref = [&](int i) {
            const MVert& v = p.verts[static_cast<size_t>(i)];
            AddRef(mb, base + i, p.material, v.u, v.v);
        };
        if (p.kind == PATCH_GRID) {
            // One strip per row, pairs (row j, row j + 1), at most 62 cells (126 references).
            const int w = p.nu + 1;
            for (int j = 0; j < p.nv; ++j)
                for (int c0 = 0; c0 < p.nu; c0 += 62) {
                    const int c1 = std::min(p.nu, c0 + 62);
                    AddRun(mb, PRIM_STRIP, 2 * (c1 - c0 + 1), p.texture);
                    for (int i = c0; i <= c1; ++i) {
                        ref(j * w + i);
                        ref((j + 1) * w + i);
                    }
                }
        } else if (p.kind == PATCH_FAN) {
            const int rim = static_cast<int>(p.verts.size()) - 1;
            for (int k0 = 1; k0 < rim; k0 += 125) {
                const int k1 = std::min(rim, k0 + 125);
                AddRun(mb, PRIM_FAN, 1 + k1 - k0 + 1, p.texture);
                ref(0);
                for (int k = k0; k <= k1; ++k) ref(k);
            }
        } else {
            const int n = static_cast<int>(p.tris.size()) / 3;
            for (int t0 = 0; t0 < n; t0 += 42) {
                const int t1 = std::min(n, t0 + 42);
                AddRun(mb, PRIM_TRIANGLES, 3 * (t1 - t0), p.texture);
                for (int t = 3 * t0; t < 3 * t1; ++t) ref(p.tris[static_cast<size_t>(t)]);
            }
        }
    }
}

void AddLampFlare(MeshBuild* mb, V3 position, float size, float r, float g, float b) {
    Material m{};
    m.emissive[0] = r, m.emissive[1] = g, m.emissive[2] = b;
    m.flags = MAT_EMITTER;
    const int material = AddMaterial(mb, m);
    const int link = AddPoint(mb, position, V3{0, 0, 1});
    AddRun(mb, static_cast<int>(PRIM_FLARE) | static_cast<int>(RUN_FLARE_ALWAYS), 1, 5);
    AddRef(mb, link, material, size, size);
}

// ---- skeleton ----

std::vector<M34> PoseMatrices(const std::vector<Bone>& bones, const Pose& pose) {
    std::vector<M34> out(bones.size());
    for (size_t b = 0; b < bones.size(); ++b) {
        const V3 a = b < pose.angles.size() ? pose.angles[b] : V3{0, 0, 0};
        const M34 local = RotateAbout(bones[b].joint, RotZ(a.z) * RotY(a.y) * RotX(a.x));
        const int parent = bones[b].parent;
        out[b] = parent >= 0 && static_cast<size_t>(parent) < b
                     ? out[static_cast<size_t>(parent)] * local
                     : Translate(pose.rootMove) * local;
    }
    return out;
}

Shape SkinShape(const Shape& rest, const std::vector<std::vector<SkinWeight>>& weights,
                const std::vector<M34>& bones) {
    Shape out = rest;
    for (size_t pi = 0; pi < out.patches.size() && pi < weights.size(); ++pi) {
        Patch& p = out.patches[pi];
        for (size_t v = 0; v < p.verts.size() && v < weights[pi].size(); ++v) {
            const SkinWeight& w = weights[pi][v];
            const M34& a = bones[std::min<size_t>(w.a, bones.size() - 1)];
            const M34& b = bones[std::min<size_t>(w.b, bones.size() - 1)];
            const MVert r = p.verts[v];
            p.verts[v].p = Apply(a, r.p) * (1 - w.w) + Apply(b, r.p) * w.w;
            p.verts[v].n = Normalized(ApplyDir(a, r.n) * (1 - w.w) + ApplyDir(b, r.n) * w.w);
        }
    }
    return out;
}
