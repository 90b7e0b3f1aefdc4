// tex_temple.cpp: the temple's textures: stone, wood, bronze, fire, the storm sky.
//
// Every texture but the emblem, the relief and the fire tiles: all noises here are periodic over
// the tile and every layout (slabs, courses, flutes, planks, rivets) divides the tile evenly.
#include <algorithm>
#include <cmath>
#include <vector>

#include "catalogue.h"

namespace {

float Sat(float v) { return v < 0 ? 0 : v > 1 ? 1 : v; }
float Smooth(float e0, float e1, float x) {
    const float t = Sat((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}
float Wrapf(float v, float n) { return v - n * std::floor(v / n); }

// A new w x h field whose texel (x, y) is fn(x, y).
template <typename Fn>
Field Paint(int w, int h, Fn fn) {
    Field f = MakeField(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) f.v[static_cast<size_t>(y * w + x)] = fn(x, y);
    return f;
}

// Lighting of a height field scaled so that a flat texel gives 1 (it modulates a colour).
Field Shade(const Field& height, float strength, float lx = -0.5f, float ly = -0.6f,
            float lz = 0.62f) {
    Field f = Lighting(height, strength, lx, ly, lz);
    Scale(&f, std::sqrt(lx * lx + ly * ly + lz * lz) / lz);
    return f;
}

// 1 on open surfaces, down to 1 - depth where the height lies below its surroundings.
Field Occlusion(const Field& height, float radius, float depth, float gain = 4) {
    const Field c = Cavity(height, radius);
    return Paint(height.w, height.h,
                 [&](int x, int y) { return 1 - depth * Sat(-At(c, x, y) * gain); });
}

// Periodic gradient noise with cx lattice cells across and cy down, so its features stretch along
// the axis with fewer cells (wood grain, streaks); each octave doubles both. ridged: 1 - |n| per
// octave, thin bright lines along the zero crossings. 0..1.
Field Streaks(int w, int h, int cx, int cy, int octaves, float persistence, uint32_t seed,
              bool ridged = false) {
    Field f = MakeField(w, h);
    float amp = 1, total = 0;
    for (int o = 0; o < octaves; ++o) {
        const int nx = cx << o, ny = cy << o;
        std::vector<float> grad(static_cast<size_t>(nx * ny) *
                                2);  // a unit gradient a lattice point
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i) {
                const float a = float(Hash(seed, uint32_t(o), uint32_t(i), uint32_t(j)) & 0xFFFF) /
                                65536.0f * 2 * kPi;
                grad[static_cast<size_t>(j * nx + i) * 2] = std::cos(a);
                grad[static_cast<size_t>(j * nx + i) * 2 + 1] = std::sin(a);
            }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const float u = (float(x) + 0.5f) * float(nx) / float(w),
                            v = (float(y) + 0.5f) * float(ny) / float(h);
                const int i0 = int(u), j0 = int(v);
                const float fu = u - float(i0), fv = v - float(j0);
                float c[4];
                for (int k = 0; k < 4; ++k) {
                    const int di = k & 1, dj = k >> 1;
                    const float* g =
                        &grad[static_cast<size_t>((j0 + dj) % ny * nx + (i0 + di) % nx) * 2];
                    c[k] = g[0] * (fu - float(di)) + g[1] * (fv - float(dj));
                }
                const float su = fu * fu * fu * (fu * (fu * 6 - 15) + 10),
                            sv = fv * fv * fv * (fv * (fv * 6 - 15) + 10);
                const float top = c[0] + (c[1] - c[0]) * su, bottom = c[2] + (c[3] - c[2]) * su;
                const float n = top + (bottom - top) * sv;
                f.v[static_cast<size_t>(y * w + x)] +=
                    amp * (ridged ? 1 - std::fabs(n) * 1.4f : 0.5f + n * 0.72f);
            }
        total += amp;
        amp *= persistence;
    }
    for (float& t : f.v) t = Sat(t / total);
    return f;
}

// Rows y0 .. y0 + h - 1 of a field.
Field Crop(const Field& f, int y0, int h) {
    return Paint(f.w, h, [&](int x, int y) { return At(f, x, y0 + y); });
}

// Fills a polygon (x, y pairs, even-odd rule) with 4 x 4 samples a texel: max(value, cover x amount).
void FillPolygon(Field* f, const std::vector<float>& xy, float amount = 1) {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    for (size_t i = 0; i < xy.size(); i += 2) {
        x0 = std::min(x0, xy[i]), x1 = std::max(x1, xy[i]);
        y0 = std::min(y0, xy[i + 1]), y1 = std::max(y1, xy[i + 1]);
    }
    const size_t n = xy.size() / 2;
    for (int y = int(y0); y <= int(y1); ++y)
        for (int x = int(x0); x <= int(x1); ++x) {
            int inside = 0;
            for (int s = 0; s < 16; ++s) {
                const float px = float(x) + (float(s & 3) + 0.5f) / 4,
                            py = float(y) + (float(s >> 2) + 0.5f) / 4;
                bool in = false;
                for (size_t i = 0, j = n - 1; i < n; j = i++) {
                    const float ax = xy[2 * i], ay = xy[2 * i + 1], bx = xy[2 * j],
                                by = xy[2 * j + 1];
                    if ((ay > py) != (by > py) && px < (bx - ax) * (py - ay) / (by - ay) + ax)
                        in = !in;
                }
                inside += in;
            }
            float& t = At(*f, x, y);
            t = std::max(t, float(inside) / 16 * amount);
        }
}

// The sandy-grey dressed stone of walls, relief and columns, by a 0..1 tone.
Img WallColour(const Field& tone) {
    return Ramp(tone, {{0, 0x6c6458}, {0.35, 0x8e8574}, {0.65, 0xa89d88}, {1, 0xc2b8a2}});
}

// ---- the floor ----

// Slabs of a flagstone floor: `rows` courses of random heights over the tile, each cut into two to
// four slabs of random lengths and shifted along by a random amount. Coordinates move by
// (wx, wy) x wobble texels first so the joints are not ruled lines. joint: texels to the nearest
// joint; id: 0..1, one value a slab.
void Slabs(int w, int h, int rows, uint32_t seed, const Field& wx, const Field& wy, float wobble,
           Field* joint, Field* id) {
    std::vector<float> top(static_cast<size_t>(rows) + 1, 0.0f), shift(static_cast<size_t>(rows));
    std::vector<std::vector<float>> cuts(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        top[r + 1] = top[r] + 0.7f + 0.6f * Rand01(seed, r, 1);
        const int n = 2 + int(Rand01(seed, r, 2) * 2.999f);
        std::vector<float>& c = cuts[r];
        c.assign(static_cast<size_t>(n) + 1, 0.0f);
        for (int k = 0; k < n; ++k) c[k + 1] = c[k] + 0.6f + 0.8f * Rand01(seed, r, 3, k);
        for (float& t : c) t *= float(w) / c[n];
        shift[r] = Rand01(seed, r, 4) * float(w);
    }
    const float scale = float(h) / top[rows];
    for (float& t : top) t *= scale;
    *id = MakeField(w, h);
    *joint = Paint(w, h, [&](int x, int y) {
        const float fy = Wrapf(float(y) + 0.5f + (At(wy, x, y) * 2 - 1) * wobble, float(h));
        const float fx = Wrapf(float(x) + 0.5f + (At(wx, x, y) * 2 - 1) * wobble, float(w));
        int r = 0;
        while (r + 1 < rows && fy >= top[r + 1]) ++r;
        const std::vector<float>& c = cuts[r];
        const float u = Wrapf(fx - shift[r], float(w));
        int k = 0;
        while (k + 2 < int(c.size()) && u >= c[k + 1]) ++k;
        At(*id, x, y) = Rand01(seed, r, k, 5);
        return std::min(std::min(u - c[k], c[k + 1] - u), std::min(fy - top[r], top[r + 1] - fy));
    });
}

// The nave's flagstones; height: 0 in the joints, about 1 on the slabs.
Img Flagstones(int w, int h, uint32_t seed, Field* height) {
    Field joint, id;
    Slabs(w, h, 4, seed, GradientNoise(w, h, 8, 3, 0.5f, seed + 1),
          GradientNoise(w, h, 8, 3, 0.5f, seed + 2), 2.0f, &joint, &id);
    const Field grain = GradientNoise(w, h, 8, 6, 0.62f, seed + 3);
    const Field chips = GradientNoise(w, h, 32, 2, 0.5f, seed + 4);
    const Field crack = Ridged(w, h, 4, 4, 0.6f, seed + 5);
    const Field wear = GradientNoise(w, h, 4, 3, 0.5f, seed + 6);
    const Field speck = GradientNoise(w, h, 64, 2, 0.5f, seed + 7);
    const Field chipped = Paint(w, h, [&](int x, int y) {
        return At(joint, x, y) - 3.0f * Sat(At(chips, x, y) * 3 - 1.8f);
    });
    const Field slab =
        Paint(w, h, [&](int x, int y) { return Smooth(0.3f, 4.0f, At(chipped, x, y) - 0.6f); });
    const Field gap =
        Paint(w, h, [&](int x, int y) { return Smooth(1.6f, 0.4f, At(chipped, x, y)); });
    // Some slabs are cracked through, only where the wear noise lets the crack run.
    const Field cracks = Paint(w, h, [&](int x, int y) {
        return At(id, x, y) < 0.45f
                   ? Smooth(0.9f, 0.96f, At(crack, x, y)) * Smooth(0.4f, 0.55f, At(wear, x, y))
                   : 0.0f;
    });
    *height = Paint(w, h, [&](int x, int y) {
        return At(slab, x, y) * (0.85f + 0.2f * At(grain, x, y) + 0.05f * At(speck, x, y) -
                                 0.15f * At(cracks, x, y));
    });
    Img im = Ramp(
        id, {{0, 0x7c766e}, {0.3f, 0x968a76}, {0.6f, 0xa8987e}, {0.8f, 0x8e8a80}, {1, 0x9c8a74}});
    Field tone = Paint(w, h, [&](int x, int y) {
        return 0.7f + 0.5f * At(grain, x, y) + 0.25f * (At(speck, x, y) - 0.5f) +
               0.15f * At(wear, x, y) - 0.5f * At(cracks, x, y);
    });
    Modulate(&im, tone);
    Mask(&im, Ramp(grain, {{0, 0x3a342c}, {1, 0x5a5246}}), gap);
    Modulate(&im, Shade(*height, 2.5f));
    Modulate(&im, Occlusion(*height, 3, 0.35f));
    Clamp(&im);
    return im;
}

// ---- wood ----

// Wood along x: growth lines bent by slow noise (`rings` across the height), long fibres and a
// knot or two the lines swerve around. 0 dark late wood .. 1 light.
Field Wood(int w, int h, int rings, uint32_t seed) {
    const Field bend = Streaks(w, h, 2, 1, 3, 0.5f, seed);
    const Field fibre = Streaks(w, h, 4, std::max(4, h / 4), 2, 0.5f, seed + 1);
    const Field fine = Streaks(w, h, 16, std::max(8, h / 2), 1, 0.5f, seed + 3);
    float kx[2], ky[2];
    for (int k = 0; k < 2; ++k)
        kx[k] = Rand01(seed, k, 1) * float(w), ky[k] = Rand01(seed, k, 2) * float(h);
    return Paint(w, h, [&](int x, int y) {
        float swerve = 0, knot = 0;
        for (int k = 0; k < 2; ++k) {
            const float dx = Wrapf(float(x) - kx[k] + float(w) / 2, float(w)) - float(w) / 2;
            const float dy = Wrapf(float(y) - ky[k] + float(h) / 2, float(h)) - float(h) / 2;
            const float d2 = dx * dx / 16 + dy * dy / 4;
            swerve += std::exp(-d2 * 0.08f) * 1.2f;
            knot = std::max(knot, Smooth(1.5f, 0.2f, d2));
        }
        const float t =
            (float(y) + 0.5f) / float(h) * float(rings) + (At(bend, x, y) - 0.5f) * 2.5f + swerve;
        const float line = Smooth(0.5f, 0.95f, std::fabs(Wrapf(t, 1) * 2 - 1));
        return Sat(0.62f - 0.3f * line + 0.6f * (At(fibre, x, y) - 0.5f) +
                   0.3f * (At(fine, x, y) - 0.5f) - 0.6f * knot);
    });
}

Field Transpose(const Field& f) {
    return Paint(f.h, f.w, [&](int x, int y) { return At(f, y, x); });
}

// ---- marble ----

// Dark marble: black clouded with deep red and green, gold veins and pale hairlines. (cx, cy):
// lattice cells across and down for the largest features.
Img Marble(int w, int h, int cx, int cy, uint32_t seed) {
    const Field hue = Streaks(w, h, cx, cy, 4, 0.55f, seed);
    const Field cloud = Streaks(w, h, cx * 2, cy * 2, 5, 0.6f, seed + 1);
    const Field wx = Streaks(w, h, cx, cy, 3, 0.45f, seed + 2),
                wy = Streaks(w, h, cx, cy, 3, 0.45f, seed + 3);
    const Field wz = Streaks(w, h, 2 * cx, 2 * cy, 2, 0.5f, seed + 6);
    const Field fade = Streaks(w, h, cx, cy, 3, 0.5f, seed + 4);
    // Veins: zero crossings of a sine across the tile (whole periods), bent by the warp noise.
    auto veinsAlong = [&](int a, int b, float bend, float width, const Field& u, const Field& v) {
        return Paint(w, h, [&](int x, int y) {
            const float t =
                2 * kPi * (float(a) * float(x) / float(w) + float(b) * float(y) / float(h)) +
                bend * (At(u, x, y) - 0.5f) + 0.5f * bend * (At(v, x, y) - 0.5f);
            return Smooth(1 - width, 1, 1 - std::fabs(std::sin(t)));
        });
    };
    const int ax = std::max(1, cx / 3), ay = std::max(1, cy / 3);
    Field veins =
        Mul(veinsAlong(ax, ay, 5.5f, 0.07f, wx, wz),
            Paint(w, h, [&](int x, int y) { return Smooth(0.3f, 0.55f, At(fade, x, y)); }));
    Field hair =
        Add(veinsAlong(2 * ax, -ay, 7, 0.03f, wy, wz), veinsAlong(ax, 3 * ay, 8, 0.025f, wz, wx));
    Img im = Ramp(hue, {{0.25f, 0x7a1c20}, {0.45f, 0x3e1c22}, {0.6f, 0x1e3430}, {0.8f, 0x1a5e46}});
    Field tone = cloud;
    Scale(&tone, 1.5f, 0.55f);
    Modulate(&im, tone);
    AddColor(&im, Blur(veins, 4), 0x3a2408, 1.2f);
    AddColor(&im, hair, 0x6a6458, 0.7f);
    AddColor(&im, veins, 0xd8a848, 1);
    Clamp(&im);
    return im;
}

}  // namespace

// Worn flagstones in courses of uneven slabs, chipped arrises, a few cracks.
void MakeFloorStone(const TexDesc& s, std::vector<Img>* out) {
    Field height;
    out->push_back(Flagstones(s.width, s.height, 160, &height));
}

// The flagstones with a round slab inlaid in brass: rings, a band of runes, an eight-pointed star.
void MakeFloorEmblem(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    const float c = float(w) / 2;
    Field height;
    Img im = Flagstones(w, h, 160, &height);
    const Field rad = RadialGradient(w, h, 0.5f, 0.5f, 1.0f / float(w));  // texels from the centre
    const Field grain = GradientNoise(w, h, 8, 5, 0.6f, 170);
    // The round slab and its joint.
    Field disc = Paint(w, h, [&](int x, int y) { return Smooth(121, 117, At(rad, x, y)); });
    Field joint = Paint(
        w, h, [&](int x, int y) { return Smooth(2.5f, 0.5f, std::fabs(At(rad, x, y) - 122)); });
    // Brass: two rings round a band of runes, a star of eight points, a hub.
    Field brass = MakeField(w, h);
    FillRing(&brass, c, c, 112, 3);
    FillRing(&brass, c, c, 86, 3);
    FillRing(&brass, c, c, 26, 2.5f);
    FillCircle(&brass, c, c, 12);
    for (int k = 0; k < 8; ++k) {
        const float a0 = float(k) * kPi / 4, a1 = float(k + 3) * kPi / 4;
        DrawLine(&brass, c + 84 * std::cos(a0), c + 84 * std::sin(a0), c + 84 * std::cos(a1),
                 c + 84 * std::sin(a1), 3);
    }
    for (int g = 0; g < 24; ++g) {
        const float a = float(g) * 2 * kPi / 24, ca = std::cos(a), sa = std::sin(a);
        auto P = [&](int gx, int gy, float* px, float* py) {  // a point of the glyph's 3 x 3 grid
            const float t = float(gx - 1) * 4.5f, r = 99 + float(gy - 1) * 6;
            *px = c + ca * r - sa * t;
            *py = c + sa * r + ca * t;
        };
        float x0, y0, x1, y1;
        const int stem = int(Rand01(171, g) * 3);
        P(stem, 0, &x0, &y0), P(stem, 2, &x1, &y1);
        DrawLine(&brass, x0, y0, x1, y1, 1.8f);
        for (int k = 0; k < 2; ++k) {
            const uint32_t r = Hash(172, g, k);
            P(int(r % 3), int(r / 3 % 3), &x0, &y0), P(int(r / 9 % 3), int(r / 27 % 3), &x1, &y1);
            if (x0 != x1 || y0 != y1) DrawLine(&brass, x0, y0, x1, y1, 1.8f);
        }
        const float d = a + kPi / 24;
        FillCircle(&brass, c + 99 * std::cos(d), c + 99 * std::sin(d), 1.5f);
    }
    // Stone inlays: dark under the runes and in the hub, red in the star.
    Field dark = MakeField(w, h), red = MakeField(w, h);
    FillRing(&dark, c, c, 99, 26);
    FillCircle(&dark, c, c, 25);
    std::vector<float> star;
    for (int k = 0; k < 16; ++k) {
        const float a = float(k) * kPi / 8,
                    r = k & 1 ? 84 * std::cos(3 * kPi / 8) / std::cos(kPi / 8) : 84;
        star.push_back(c + r * std::cos(a)), star.push_back(c + r * std::sin(a));
    }
    FillPolygon(&red, star);
    Img slab = Ramp(grain, {{0, 0x6a6258}, {0.5f, 0x8a8072}, {1, 0xa09482}});
    Mask(&slab, Ramp(grain, {{0, 0x7a3a2c}, {1, 0xa05840}}), red);
    Mask(&slab, Ramp(grain, {{0, 0x2a2628}, {1, 0x484044}}), dark);
    Img metal = Ramp(grain, {{0, 0x8a6428}, {0.5f, 0xc89a4a}, {1, 0xf0cc78}});
    Mask(&slab, metal, brass);
    Field slabHeight = Paint(w, h, [&](int x, int y) {
        return 0.92f + 0.06f * At(grain, x, y) - 0.12f * At(brass, x, y);
    });
    Field shade = Shade(Blur(slabHeight, 0.7f), 3);
    Modulate(&slab, shade);
    Modulate(&slab, Paint(w, h, [&](int x, int y) { return 0.8f + 0.4f * At(grain, x, y); }));
    Modulate(&slab, Occlusion(Blur(slabHeight, 0.7f), 2, 0.3f));
    Mask(&im, slab, disc);
    Modulate(&im, Paint(w, h, [&](int x, int y) { return 1 - 0.7f * At(joint, x, y); }));
    Clamp(&im);
    out->push_back(im);
}

// Dressed ashlar in running bond: six courses, chipped arrises, a tone a block.
void MakeWallStone(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    Field ids;
    const Field raw = Bricks(w, h, 6, 3, 0.5f, 2, 3, 180, &ids, 0.3f);
    const Field wx = GradientNoise(w, h, 16, 2, 0.5f, 181),
                wy = GradientNoise(w, h, 16, 2, 0.5f, 182);
    const Field block = Distort(raw, wx, wy, 1.5f);
    const Field grain = GradientNoise(w, h, 8, 6, 0.6f, 183);
    const Field grime = GradientNoise(w, h, 2, 3, 0.5f, 184);
    const Field speck = GradientNoise(w, h, 64, 2, 0.5f, 185);
    Field height = Paint(w, h, [&](int x, int y) {
        return At(block, x, y) * (0.8f + 0.2f * At(grain, x, y) + 0.06f * At(speck, x, y) -
                                  0.1f * Smooth(0.3f, 0.22f, At(speck, x, y)));
    });
    Img im = WallColour(Paint(w, h, [&](int x, int y) {
        return 0.15f + 0.5f * At(ids, x, y) + 0.6f * (At(grain, x, y) - 0.5f) +
               0.3f * (At(speck, x, y) - 0.5f) + 0.3f * (At(grime, x, y) - 0.4f);
    }));
    Field gap = Paint(w, h, [&](int x, int y) { return Smooth(0.6f, 0.1f, At(block, x, y)); });
    Mask(&im, Ramp(grain, {{0, 0x4a4238}, {1, 0x6a6052}}), gap);
    Modulate(&im, Shade(height, 3));
    Modulate(&im, Occlusion(height, 3, 0.4f));
    Clamp(&im);
    out->push_back(im);
}

// A carved panel under a round arch: a priest raising the sun, a band of chevrons below.
void MakeRelief(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    Field relief = MakeField(w, h, 1);
    // The frame's two steps down to the recessed ground.
    for (float inset : {10.0f, 15.0f}) {
        const float depth = inset < 12 ? 0.7f : 0.3f;
        FillRect(&relief, inset, 64, float(w) - inset, float(h) - inset, depth, 1);
        FillCircle(&relief, 64, 64, 64 - inset, depth, 1);
    }
    Field fig = MakeField(w, h);
    FillCircle(&fig, 64, 56, 15);  // the sun and its rays
    for (int k = 0; k < 12; ++k) {
        const float a = float(k) * kPi / 6, ca = std::cos(a), sa = std::sin(a);
        DrawLine(&fig, 64 + 20 * ca, 56 + 20 * sa, 64 + 31 * ca, 56 + 31 * sa, 3.5f, 0.8f);
    }
    FillCircle(&fig, 64, 98, 9);  // the priest: head, robe, arms up to the sun
    FillPolygon(&fig, {54, 110, 74, 110, 86, 200, 42, 200});
    DrawLine(&fig, 56, 114, 38, 94, 7), DrawLine(&fig, 38, 94, 50, 70, 6);
    DrawLine(&fig, 72, 114, 90, 94, 7), DrawLine(&fig, 90, 94, 78, 70, 6);
    FillRect(&fig, 34, 200, 94, 210);  // his plinth
    for (float fx : {-10.0f, -3.0f, 4.0f, 11.0f})
        DrawLine(&fig, 64 + fx * 0.55f, 128, 64 + fx * 1.5f, 196, 1.6f, -1, 2);
    Field round = Blur(fig, 2.2f);
    FillRect(&relief, 15, 215, float(w) - 15, 220, 0.7f, 1);  // a rail, then the chevrons
    for (int k = 0; k < 10; ++k)
        DrawLine(&relief, 17 + float(k) * 10, k & 1 ? 236.0f : 225.0f, 27 + float(k) * 10,
                 k & 1 ? 225.0f : 236.0f, 3.5f, 0.75f);
    for (float cx : {17.0f, float(w) - 17})
        FillRing(&relief, cx, 17, 4, 2, 0.6f, 1);  // spandrel rosettes
    const Field grain = GradientNoise(w, h, 8, 6, 0.6f, 190);
    Field height = Paint(w, h, [&](int x, int y) {
        return std::max(At(relief, x, y), 0.3f + 0.6f * Sat(At(round, x, y) * 1.4f)) +
               0.05f * At(grain, x, y);
    });
    height = Blur(height, 0.8f);
    Img im = WallColour(Paint(w, h, [&](int x, int y) {
        return 0.25f + 0.7f * (At(grain, x, y) - 0.5f) + 0.35f * At(height, x, y);
    }));
    Modulate(&im, Shade(height, 7));
    Modulate(&im, Occlusion(height, 5, 0.45f, 3));
    Clamp(&im);
    out->push_back(im);
}

// A fluted shaft: eight concave flutes between fillets, two drums with their joints, rain streaks.
void MakeColumn(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height, flutes = 8;
    const float period = float(w) / float(flutes), fillet = 3;
    const Field streak = Streaks(w, h, 16, 2, 3, 0.5f, 200);
    const Field grain = GradientNoise(w, h, 8, 6, 0.6f, 201);
    const Field chips = GradientNoise(w, h, 16, 2, 0.5f, 202);
    Field height = Paint(w, h, [&](int x, int y) {
        const float t = Wrapf(float(x) + 0.5f, period) - fillet / 2, u = t / (period - fillet);
        const float flute = t < 0 || u > 1 ? 0 : std::sqrt(Sat(1 - (2 * u - 1) * (2 * u - 1)));
        const float jy = std::fabs(Wrapf(float(y) + 0.5f, float(h) / 2) -
                                   float(h) / 4);  // texels from a drum joint
        const float joint = Smooth(float(h) / 4 - 1.5f, float(h) / 4, jy + 2 * At(chips, x, y));
        return 1 - 0.6f * flute - 0.5f * joint + 0.05f * At(grain, x, y);
    });
    Img im = WallColour(Paint(w, h, [&](int x, int y) {
        return 0.5f + 0.7f * (At(grain, x, y) - 0.5f) - 1.2f * Sat(At(streak, x, y) - 0.5f);
    }));
    Modulate(&im, Shade(height, 2.5f, -0.8f, -0.3f, 0.55f));
    Modulate(&im, Occlusion(height, 3, 0.3f));
    Clamp(&im);
    out->push_back(im);
}

// Polished dark marble, veined in gold.
void MakeDaisMarble(const TexDesc& s, std::vector<Img>* out) {
    out->push_back(Marble(s.width, s.height, 3, 3, 210));
}

// The edge of a step: marble tread, a rounded nosing, a gold band of lozenges, the marble riser.
void MakeDaisStep(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    Img im = Marble(w, h, 4, 1, 220);
    Field band = MakeField(w, h), relief = MakeField(w, h);
    FillRect(&band, -1, 20, float(w) + 1, 44);
    for (int k = 0; k < w / 32; ++k) {
        const float x = float(k) * 32 + 16;
        FillPolygon(&relief, {x - 12, 32, x, 25, x + 12, 32, x, 39});
        FillPolygon(&relief, {x - 8, 32, x, 27.5f, x + 8, 32, x, 36.5f}, 0.4f);
        FillCircle(&relief, x, 32, 2.2f);
        FillCircle(&relief, x - 16, 32, 2.5f);
    }
    FillRect(&relief, -1, 21, float(w) + 1, 23), FillRect(&relief, -1, 41, float(w) + 1, 43);
    const Field grain = GradientNoise(w, h, 8, 4, 0.5f, 221);
    Field height = Paint(w, h, [&](int x, int y) {
        const float fy = float(y) + 0.5f;
        const float nosing = fy < 16 ? 1 + 0.5f * std::sin(Sat((fy - 6) / 10) * kPi)
                                     : 0.6f;  // tread .. nosing .. riser
        return nosing + 0.25f * At(relief, x, y) - 0.3f * Smooth(2, 0, std::fabs(fy - 17.5f)) -
               0.3f * Smooth(2, 0, std::fabs(fy - 46));
    });
    Img gold = Ramp(grain, {{0, 0x6a4a18}, {1, 0x8a6424}});
    Mask(&gold, Ramp(grain, {{0, 0xd0a040}, {1, 0xf4d078}}), relief);
    Mask(&im, gold, band);
    Modulate(&im, Shade(Blur(height, 0.6f), 3));
    Modulate(&im, Paint(w, h, [&](int, int y) {
        return y < 16 ? 1.15f : 1.0f;
    }));  // the tread faces the light
    Clamp(&im);
    out->push_back(im);
}

// An old roof timber: grain along the beam, knots, splits, worn arrises.
void MakeRoofBeam(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    const Field wood = Wood(w, h, 12, 230);
    Field split = Streaks(w, h, 2, 6, 2, 0.4f, 231, true);
    const Field patch = GradientNoise(w, h, 4, 2, 0.5f, 232);
    SmoothStep(&split, 0.9f, 0.98f);
    Field height = Paint(w, h, [&](int x, int y) {
        const float fy = float(y) + 0.5f, arris = Smooth(0, 5, fy) * Smooth(0, 5, float(h) - fy);
        return 0.6f * arris + 0.2f * At(wood, x, y) -
               0.35f * At(split, x, y) * Smooth(0.45f, 0.6f, At(patch, x, y));
    });
    Img im = Ramp(wood, {{0, 0x3e2e20}, {0.5f, 0x76583e}, {1, 0xa4866a}});
    Modulate(&im, Shade(height, 4));
    Modulate(&im, Occlusion(height, 2, 0.5f));
    Clamp(&im);
    out->push_back(im);
}

// Four heavy planks of uneven width, grain running down, dark gaps between.
void MakeDoorWood(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    const Field wood = Transpose(Wood(h, w, 22, 240));
    const float edges[] = {0, 30, 64, 92, 128};
    Field plank = MakeField(w, h);  // a random 0..1 a plank, filled in with the height
    const Field height = Paint(w, h, [&](int x, int y) {
        const float fx = float(x) + 0.5f;
        int k = 0;
        while (fx >= edges[k + 1]) ++k;
        At(plank, x, y) = Rand01(241, k);
        const float d = std::min(fx - edges[k], edges[k + 1] - fx);
        return Smooth(0.8f, 3.5f, d) * (0.8f + 0.2f * At(wood, x, y));
    });
    Img im = Ramp(wood, {{0, 0x4a3020}, {0.5f, 0x7e5636}, {1, 0xa47a54}});
    Modulate(&im, Paint(w, h, [&](int x, int y) { return 0.85f + 0.3f * At(plank, x, y); }));
    Modulate(&im, Shade(height, 3));
    Modulate(&im, Occlusion(height, 2, 0.5f));
    Clamp(&im);
    out->push_back(im);
}

// A hammered black iron strap with a row of domed rivets and a little rust.
void MakeDoorIron(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    const Field dents = Crop(CellNoise(w, w, 10, CELL_F1, 250), 0, h);
    const Field rust = Crop(GradientNoise(w, w, 4, 5, 0.6f, 251), 0, h);
    Field height = Paint(w, h, [&](int x, int y) {
        const float fy = float(y) + 0.5f, edge = Smooth(0, 6, fy) * Smooth(0, 6, float(h) - fy);
        float rivet = 0;
        for (int k = 0; k < 4; ++k) {
            const float dx = Wrapf(float(x) + 0.5f - (float(k) * 32 + 16) + 64, float(w)) - 64,
                        dy = fy - float(h) / 2;
            rivet = std::max(rivet, std::sqrt(Sat(1 - (dx * dx + dy * dy) / 36)));
        }
        return 0.5f * edge + 0.08f * At(dents, x, y) + 0.5f * rivet;
    });
    Img im = Ramp(dents, {{0, 0x3c3e44}, {1, 0x585a62}});
    Field rusty = rust;
    SmoothStep(&rusty, 0.55f, 0.75f);
    Mask(&im, Ramp(rust, {{0.5f, 0x4a2a18}, {1, 0x7a4422}}), rusty, 0.8f);
    Field shade = Shade(Blur(height, 0.5f), 5);
    Modulate(&im, shade);
    Field shine = shade;
    Levels(&shine, 1.2f, 1.8f);
    AddColor(&im, shine, 0x909aa8, 0.8f);
    Clamp(&im);
    out->push_back(im);
}

// Hammered bronze: facets of the hammer, warm highlights, verdigris in the dents.
void MakeBronze(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    Field dents = CellNoise(w, h, 16, CELL_F1, 260);
    Pow(&dents, 1.5f);
    Scale(&dents, 0.5f);
    const Field grain = GradientNoise(w, h, 4, 5, 0.55f, 261);
    Field patina = GradientNoise(w, h, 6, 5, 0.6f, 262);
    Field height = Add(dents, grain, 0.6f);
    Img im = Ramp(grain, {{0, 0x5e3e22}, {0.5f, 0x8a6238}, {1, 0xa07a48}});
    Field shade = Shade(height, 4);
    Modulate(&im, shade);
    Field shine = shade;
    Levels(&shine, 1.15f, 1.7f);
    AddColor(&im, shine, 0xffd890, 0.5f);
    Field hollow = Paint(w, h, [&](int x, int y) {
        return Smooth(0.55f, 0.72f, At(patina, x, y)) * Sat(1.2f - 2.5f * At(dents, x, y));
    });
    Mask(&im, Ramp(grain, {{0, 0x2e5a4a}, {1, 0x4a8470}}), hollow, 0.6f);
    Clamp(&im);
    out->push_back(im);
}

// A night sky of storm clouds, their edges lit by the moon, a few stars in the gaps.
void MakeSky(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    const Field qx = GradientNoise(w, h, 3, 4, 0.5f, 270),
                qy = GradientNoise(w, h, 3, 4, 0.5f, 271);
    const Field cloud = Distort(GradientNoise(w, h, 4, 6, 0.55f, 272), qx, qy, 40);
    Field density = cloud;
    SmoothStep(&density, 0.42f, 0.66f);
    Field rim = Lighting(Blur(density, 3), 10, -0.6f, -0.7f, 0.35f);
    Levels(&rim, 0.3f, 1.0f);
    Img im = Ramp(qx, {{0.2f, 0x04061a}, {0.8f, 0x140e30}});
    Img body =
        Ramp(cloud, {{0.45f, 0x34305a}, {0.62f, 0x2a2646}, {0.85f, 0x12101e}});  // storm-dark cores
    Mask(&im, body, density);
    AddColor(&im,
             Mul(rim, Paint(w, h, [&](int x, int y) { return Sat(At(density, x, y) * 2.5f); })),
             0xb0b4e4, 1.2f);
    Field stars = MakeField(w, h);
    for (int k = 0; k < 140; ++k) {
        const float x = Rand01(273, k, 1) * float(w), y = Rand01(273, k, 2) * float(h),
                    b = Rand01(273, k, 3);
        FillCircle(&stars, x, y, 0.5f + b * b * 0.9f, 0.5f + 0.5f * b);
    }
    AddColor(&im,
             Mul(stars,
                 Paint(w, h, [&](int x, int y) { return Smooth(0.2f, 0.0f, At(density, x, y)); })),
             0xf0f0ff);
    Clamp(&im);
    out->push_back(im);
}

// Flames: tongues rising from a wide hot base, narrowing and breaking up as they climb; a loop of
// `frames` frames in which the turbulence rises by whole periods of the tile.
void MakeFire(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    const Field big = Streaks(w, h, 6, 3, 3, 0.5f, 280), fine = Streaks(w, h, 8, 6, 2, 0.5f, 281);
    const Field sway = GradientNoise(w, h, 2, 2, 0.5f, 282);
    for (int f = 0; f < s.frames; ++f) {
        const float phase = float(f) / float(s.frames), rise = float(h) * phase;
        Field heat = Paint(w, h, [&](int x, int y) {
            const float fx = float(x) + 0.5f, fy = float(y) + 0.5f,
                        v = 1 - fy / float(h);  // v: 0 bottom .. 1 top
            const float sx = (Sample(sway, fx, fy + rise) - 0.5f) * 18 * v;
            const float u = std::fabs(fx + sx - float(w) / 2) / (float(w) / 2);
            const float width =
                0.85f * std::pow(1 - v, 0.7f) * std::sqrt(Smooth(-0.02f, 0.15f, v));  // round foot
            const float body = Sat(1 - u / std::max(0.01f, width));
            const float n = 0.65f * Sample(big, fx + sx * 0.5f, fy + rise) +
                            0.35f * Sample(fine, fx, fy + 2 * rise);
            return Sat(std::sqrt(body) * (1.5f - 1.2f * v) + (n - 0.5f) * (0.6f + 2.2f * v) - 0.2f);
        });
        Img im = Ramp(heat, {{0, 0x600000},
                             {0.25f, 0xb01800},
                             {0.45f, 0xe85000},
                             {0.65f, 0xffa020},
                             {0.85f, 0xffe070},
                             {1, 0xfffff0}});
        Field alpha = Paint(w, h, [&](int x, int y) {
            const float fx = float(x) + 0.5f, fy = float(y) + 0.5f;
            return Smooth(0.05f, 0.4f, At(heat, x, y)) * Smooth(1.5f, 8, fx) *
                   Smooth(1.5f, 8, float(w) - fx) * Smooth(1.5f, 14, fy);
        });
        SetAlpha(&im, alpha);
        out->push_back(im);
    }
}
