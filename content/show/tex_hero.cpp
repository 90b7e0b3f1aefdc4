// tex_hero.cpp: the hero's textures, the rune ring and the relic.
//
// Cloth is woven texel by texel: warp threads run down the texture, weft threads across, and a
// thread lies on top where the weave says so (plain weave for the robe, a coarser 2/2 twill for the
// hood). Folds are a periodic height field of soft vertical ridges; lighting of both together gives
// the cloth its shading. Everything wraps, so each texture tiles.
#include <algorithm>
#include <cmath>

#include "catalogue.h"

namespace {

void SetRgb(float* p, uint32_t rgb, float k = 1) {
    float c[3];
    Rgb(rgb, c);
    for (int ch = 0; ch < 3; ++ch) p[ch] = c[ch] * k;
}

// The toolkit's Scale on a copy.
Field Scaled(Field f, float k, float add = 0) {
    Scale(&f, k, add);
    return f;
}

// A woven height field with `cell` texels per thread. twill false: plain weave (over one, under
// one); true: 2/2 twill (diagonal ribs). warpTop (optional) is 1 where the vertical thread lies on
// top. Threads vary in thickness a little (slubs), each by its own hash.
Field Weave(int w, int h, int cell, bool twill, uint32_t seed, Field* warpTop) {
    Field f = MakeField(w, h);
    if (warpTop) *warpTop = MakeField(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int i = x / cell, j = y / cell;
            const float fx = (Fx(x % cell) + 0.5f) / Fx(cell),
                        fy = (Fx(y % cell) + 0.5f) / Fx(cell);
            const bool warp = twill ? ((i - j) % 4 + 4) % 4 < 2 : ((i + j) & 1) == 0;
            const float across = std::sqrt(std::sin(kPi * (warp ? fx : fy)));
            const float along = std::sin(kPi * (warp ? fy : fx));
            // Slubs: the thread's thickness changes slowly along its length.
            const uint32_t thread =
                warp ? static_cast<uint32_t>(i) : static_cast<uint32_t>(j) + 10000;
            const int run = (warp ? y : x) / (cell * 3);
            const float slub = 0.8f + 0.2f * Rand01(seed, thread, static_cast<uint32_t>(run));
            f.v[static_cast<size_t>(y * w + x)] = across * (0.75f + 0.25f * along) * slub;
            if (warpTop) warpTop->v[static_cast<size_t>(y * w + x)] = warp ? 1.0f : 0.0f;
        }
    return f;
}

// Soft vertical folds: `count` ridges across the width, wandering with a periodic noise. 0..1.
Field Folds(int w, int h, int count, uint32_t seed) {
    Field wander = GradientNoise(w, h, 2, 3, 0.5f, seed);
    Field detail = GradientNoise(w, h, 4, 2, 0.5f, seed + 1);
    Field f = MakeField(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t i = static_cast<size_t>(y * w + x);
            const float u = Fx(x) / Fx(w);
            const float a = std::sin(2 * kPi * (Fx(count) * u + 0.9f * (wander.v[i] - 0.5f)));
            const float b =
                std::sin(2 * kPi * (Fx(count * 2 + 1) * u + 1.4f * (detail.v[i] - 0.5f)));
            f.v[i] = Clamp01(0.5f + 0.36f * a + 0.14f * b);
        }
    return f;
}

// Cloth: weave and folds lit together, warp and weft of two colours, darkened in the fold hollows.
Img Cloth(int w, int h, int cell, bool twill, int folds, uint32_t warpRgb, uint32_t weftRgb,
          uint32_t sheenRgb, uint32_t seed) {
    Field warpTop;
    const Field weave = Weave(w, h, cell, twill, seed, &warpTop);
    const Field fold = Folds(w, h, folds, seed + 7);
    const Field height = Add(Scaled(fold, 7.0f), weave, 0.9f);
    const Field light = Lighting(height, 1.0f, -0.45f, -0.35f, 0.8f);
    const Field fibre = ValueNoise(w, h, 32, 2, 0.5f, seed + 11);
    const Field dirt = GradientNoise(w, h, 4, 3, 0.5f, seed + 13);
    Img im = MakeImg(w, h);
    EachTexel(&im, [&](int x, int y, size_t, float* p) {
        const size_t i = static_cast<size_t>(y * w + x);
        float warp[3], weft[3], sheen[3];
        Rgb(warpRgb, warp);
        Rgb(weftRgb, weft);
        Rgb(sheenRgb, sheen);
        const float thread = 0.62f + 0.38f * weave.v[i];
        const float ao = 0.45f + 0.55f * fold.v[i];
        const float lit = light.v[i] * 1.25f;
        const float shine = std::pow(Clamp01(light.v[i] * 1.1f - 0.1f), 6.0f) * 0.5f * fold.v[i];
        const float grime = 0.85f + 0.3f * dirt.v[i] + 0.1f * (fibre.v[i] - 0.5f);
        for (int ch = 0; ch < 3; ++ch) {
            const float base = Mixf(weft[ch], warp[ch], warpTop.v[i]);
            p[ch] = base * thread * ao * lit * grime + sheen[ch] * shine;
        }
    });
    Clamp(&im);
    return im;
}

}  // namespace

void MakeRobe(const TexDesc& s, std::vector<Img>* out) {
    out->push_back(Cloth(s.width, s.height, 4, false, 3, 0x86101c, 0x580a26, 0xc85048, 20));
}

void MakeHood(const TexDesc& s, std::vector<Img>* out) {
    out->push_back(Cloth(s.width, s.height, 4, true, 2, 0x302028, 0x1c1420, 0x604858, 22));
}

void MakeSkin(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    const Field blotch = GradientNoise(w, h, 4, 3, 0.55f, 21);
    const Field pores = CellNoise(w, h, 16, CELL_F1, 121);
    const Field fine = ValueNoise(w, h, 32, 2, 0.5f, 221);
    Field bump = Add(Scaled(pores, 0.6f), fine, 0.4f);
    const Field light = Lighting(Blur(bump, 0.6f), 1.2f);
    Img im = MakeImg(w, h);
    EachTexel(&im, [&](int x, int y, size_t, float* p) {
        const size_t i = static_cast<size_t>(y * w + x);
        float base[3], flush[3];
        Rgb(0xc48a6a, base);
        Rgb(0xb8604e, flush);
        const float t = Clamp01((blotch.v[i] - 0.4f) * 2.5f);
        const float shade = 0.82f + 0.3f * (light.v[i] - 0.62f) + 0.1f * fine.v[i];
        for (int ch = 0; ch < 3; ++ch) p[ch] = Mixf(base[ch], flush[ch], t * 0.6f) * shade;
    });
    Clamp(&im);
    out->push_back(im);
}

void MakeBoots(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    // Leather grain: a fine net of creases between pebbles, with larger wrinkles across.
    const Field pebbles = CellNoise(w, h, 12, CELL_EDGE, 23);
    Field crease = pebbles;
    SmoothStep(&crease, 0.0f, 0.25f);
    const Field wrinkle = Ridged(w, h, 2, 3, 0.5f, 123);
    Field w2 = wrinkle;
    SmoothStep(&w2, 0.75f, 0.98f);
    const Field wear = GradientNoise(w, h, 2, 4, 0.55f, 223);
    Field height = Add(Scaled(crease, 1.0f), w2, -1.2f);
    const Field light = Lighting(Blur(height, 0.7f), 1.6f);
    Img im = MakeImg(w, h);
    EachTexel(&im, [&](int x, int y, size_t, float* p) {
        const size_t i = static_cast<size_t>(y * w + x);
        float dark[3], worn[3];
        Rgb(0x2a160c, dark);
        Rgb(0x6a4226, worn);
        const float t = Clamp01((wear.v[i] - 0.45f) * 3.0f) * crease.v[i];
        const float lit = 0.35f + 0.9f * light.v[i];
        const float shine = std::pow(Clamp01(light.v[i] - 0.5f) * 2.2f, 4.0f) * 0.25f;
        for (int ch = 0; ch < 3; ++ch)
            p[ch] = Mixf(dark[ch], worn[ch], t) * lit * (0.7f + 0.3f * crease.v[i]) + shine;
    });
    Clamp(&im);
    out->push_back(im);
}

void MakeStaff(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    // Grain along the staff: rings of a log cut lengthwise, pushed about by a noise stretched along y.
    const Field wobble = GradientNoise(w, w, 2, 3, 0.5f, 24);
    const Field fleck = ValueNoise(w, h, 16, 2, 0.5f, 124);
    Img im = MakeImg(w, h);
    Field height = MakeField(w, h);
    EachTexel(&im, [&](int x, int y, size_t, float* p) {
        const float n = Sample(wobble, Fx(x) + 0.5f, (Fx(y) + 0.5f) / 8.0f);
        const float rings =
            Fx(x) / Fx(w) * 5.0f + n * 3.0f + 0.15f * std::sin(Fx(y) * 2 * kPi / Fx(h) * 3);
        float g = rings - std::floor(rings);
        g = std::pow(g, 3.0f);  // late wood: a sharp dark line at the end of each ring
        const float streak = Sample(wobble, Fx(x) * 3 + 0.5f, Fx(y) / 3.0f);
        float light[3], dark[3];
        Rgb(0x7a5230, light);
        Rgb(0x3a2010, dark);
        const float t = Clamp01(g * 0.8f + (streak - 0.5f) * 0.4f +
                                (fleck.v[static_cast<size_t>(y * w + x)] - 0.5f) * 0.2f);
        for (int ch = 0; ch < 3; ++ch) p[ch] = Mixf(light[ch], dark[ch], t);
        At(height, x, y) = -g * 0.6f;
    });
    Modulate(&im, Lighting(height, 1.5f), 0.4f);
    // Two iron bands, each with a bevelled rim and a row of rivets.
    const float bands[2][2] = {{22, 38}, {214, 226}};
    for (const auto& band : bands) {
        for (int y = static_cast<int>(band[0]); y < static_cast<int>(band[1]); ++y) {
            const float v = (Fx(y) + 0.5f - band[0]) / (band[1] - band[0]);
            const float edge = std::min(v, 1 - v) * (band[1] - band[0]);
            const float rim = Clamp01(edge / 2.0f);
            const float shade = 0.55f + 0.45f * std::sin(kPi * v) + (v < 0.2f ? 0.25f : 0) -
                                (v > 0.85f ? 0.25f : 0);
            for (int x = 0; x < w; ++x) {
                float* p = Px(im, x, y);
                const float brush = 0.9f + 0.2f * fleck.v[static_cast<size_t>(y * w + x)];
                const float k = Clamp01(shade * brush) * (0.6f + 0.4f * rim);
                p[0] = 0.32f * k + 0.02f;
                p[1] = 0.33f * k + 0.02f;
                p[2] = 0.36f * k + 0.03f;
            }
        }
        const float cy = (band[0] + band[1]) / 2;
        for (int r = 0; r < 2; ++r) {
            const float cx = Fx(w) * (0.25f + 0.5f * Fx(r));
            for (int y = static_cast<int>(cy) - 3; y <= static_cast<int>(cy) + 3; ++y)
                for (int x = static_cast<int>(cx) - 3; x <= static_cast<int>(cx) + 3; ++x) {
                    const float dx = Fx(x) + 0.5f - cx, dy = Fx(y) + 0.5f - cy,
                                d = std::hypot(dx, dy);
                    if (d > 2.6f) continue;
                    float* p = Px(im, x, y);
                    const float k = 0.35f + 0.5f * Clamp01(0.5f - (dx + dy) / 4.0f);
                    p[0] = p[1] = p[2] = k;
                    p[2] += 0.04f;
                }
        }
    }
    Clamp(&im);
    out->push_back(im);
}

void MakeTrim(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    // A band of gold embroidery on dark crimson: two borders and a chain of lozenges with dots,
    // stitched in satin stitch (the threads run diagonally). Posterised: a palette of few colours.
    Field gold = MakeField(w, h);
    FillRect(&gold, 0, 4, Fx(w), 7);
    FillRect(&gold, 0, Fx(h) - 7, Fx(w), Fx(h) - 4);
    FillRect(&gold, 0, 10, Fx(w), 11.5f);
    FillRect(&gold, 0, Fx(h) - 11.5f, Fx(w), Fx(h) - 10);
    const float c = Fx(w) / 2, m = Fx(h) / 2;
    auto lozenge = [&](float cx, float r, float width) {
        for (int k = 0; k < 4; ++k) {
            const float a0 = kPi / 2 * Fx(k), a1 = kPi / 2 * Fx(k + 1);
            DrawLine(&gold, cx + r * std::cos(a0), m + r * std::sin(a0), cx + r * std::cos(a1),
                     m + r * std::sin(a1), width);
        }
    };
    lozenge(c, 17, 3.5f);
    lozenge(c, 9, 2.0f);
    FillCircle(&gold, c, m, 3);
    // Half lozenges at the tile's sides meet the neighbours' into a crossing.
    lozenge(0, 14, 2.5f);
    lozenge(Fx(w), 14, 2.5f);
    for (int k = 0; k < 4; ++k) {
        const float a = kPi / 4 + kPi / 2 * Fx(k);
        FillCircle(&gold, c + 24 * std::cos(a) * 0.75f, m + 24 * std::sin(a) * 0.75f, 1.6f);
    }
    const Field raised = Blur(gold, 1.0f);
    const Field light = Lighting(raised, 3.0f);
    Img im = MakeImg(w, h);
    EachTexel(&im, [&](int x, int y, size_t, float* p) {
        const size_t i = static_cast<size_t>(y * w + x);
        const float stitch = 0.5f + 0.5f * std::sin((Fx(x) + Fx(y)) * kPi / 1.5f);
        const float cloth = 0.8f + 0.2f * (((x + y) & 1) ? 1.0f : 0.0f);
        if (gold.v[i] > 0.45f) {
            float k = Clamp01(0.3f + 0.8f * light.v[i] + 0.25f * stitch - 0.1f);
            k = std::floor(k * 4.0f + 0.5f) / 4.0f;  // four tones of gold
            SetRgb(p, k > 0.8f ? 0xfff0a0 : k > 0.55f ? 0xe0b040 : k > 0.3f ? 0xa87018 : 0x5a3408);
        } else {
            const float shadow = Clamp01(raised.v[i] * 1.5f);
            SetRgb(p, shadow > 0.35f ? 0x280410 : cloth > 0.9f ? 0x5a0c1c : 0x480818);
        }
    });
    out->push_back(im);
}

void MakeRuneRing(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    // Eight runes in cells of 32 texels: a stave with branches, hooks and crossings, each rune
    // its own by a hash. Strokes glow white at the core and blue outward; thin rules frame the row.
    Field stroke = MakeField(w, h);
    const int runes = 8;
    const float cell = Fx(w) / Fx(runes);
    const float top = 7, bottom = 25, mid = 16;
    for (int r = 0; r < runes; ++r) {
        const float cx = cell * (Fx(r) + 0.5f);
        const float sw = 2.2f;
        const int shape = (r * 5 + 3) % 8;  // each rune once, in a mixed order
        const float hw = 6;                 // half width of a rune
        // Most runes keep a stave; the others are two strokes crossed or an angle.
        switch (shape) {
        case 0:  // stave with two branches up to the right
            DrawLine(&stroke, cx - 3, top, cx - 3, bottom, sw);
            DrawLine(&stroke, cx - 3, top + 2, cx + hw, top + 7, sw);
            DrawLine(&stroke, cx - 3, mid, cx + hw, mid + 5, sw);
            break;
        case 1:  // stave with a closed bow (a thorn)
            DrawLine(&stroke, cx - 4, top, cx - 4, bottom, sw);
            DrawLine(&stroke, cx - 4, top + 3, cx + 4, mid, sw);
            DrawLine(&stroke, cx + 4, mid, cx - 4, bottom - 3, sw);
            break;
        case 2:  // two staves joined by a cross
            DrawLine(&stroke, cx - 5, top, cx - 5, bottom, sw);
            DrawLine(&stroke, cx + 5, top, cx + 5, bottom, sw);
            DrawLine(&stroke, cx - 5, top + 3, cx + 5, bottom - 6, sw);
            DrawLine(&stroke, cx + 5, top + 3, cx - 5, bottom - 6, sw);
            break;
        case 3:  // an arrow
            DrawLine(&stroke, cx, top, cx, bottom, sw);
            DrawLine(&stroke, cx, top, cx - hw, top + 7, sw);
            DrawLine(&stroke, cx, top, cx + hw, top + 7, sw);
            break;
        case 4:  // a lozenge on a stave
            DrawLine(&stroke, cx, top, cx, bottom, sw);
            DrawLine(&stroke, cx, top + 4, cx + hw, mid, sw);
            DrawLine(&stroke, cx + hw, mid, cx, bottom - 4, sw);
            DrawLine(&stroke, cx, top + 4, cx - hw, mid, sw);
            DrawLine(&stroke, cx - hw, mid, cx, bottom - 4, sw);
            break;
        case 5:  // a stave with a crossbar and a hook
            DrawLine(&stroke, cx, top, cx, bottom, sw);
            DrawLine(&stroke, cx - hw, mid - 2, cx + hw, mid + 2, sw);
            DrawLine(&stroke, cx, bottom, cx + hw - 1, bottom - 4, sw);
            break;
        case 6:  // an hourglass
            DrawLine(&stroke, cx - hw, top, cx + hw, bottom, sw);
            DrawLine(&stroke, cx + hw, top, cx - hw, bottom, sw);
            DrawLine(&stroke, cx - hw, top, cx + hw, top, sw);
            DrawLine(&stroke, cx - hw, bottom, cx + hw, bottom, sw);
            break;
        default:  // a broken stave with a ring
            DrawLine(&stroke, cx - 2, top, cx - 2, mid - 1, sw);
            DrawLine(&stroke, cx - 2, mid + 3, cx - 2, bottom, sw);
            FillRing(&stroke, cx + 3, mid + 1, 3.2f, sw);
            break;
        }
        // A small dot between runes.
        FillCircle(&stroke, cell * Fx(r + 1), mid, 1.3f);
    }
    DrawLine(&stroke, 0, 2.5f, Fx(w), 2.5f, 1.0f, 0.7f);
    DrawLine(&stroke, 0, Fx(h) - 2.5f, Fx(w), Fx(h) - 2.5f, 1.0f, 0.7f);
    const Field near = Blur(stroke, 1.5f);
    const Field far = Blur(stroke, 4.0f);
    Img im = MakeImg(w, h);
    Field alpha = MakeField(w, h);
    EachTexel(&im, [&](int x, int y, size_t, float* p) {
        const size_t i = static_cast<size_t>(y * w + x);
        const float core = stroke.v[i], glow = Clamp01(near.v[i] * 1.5f + far.v[i] * 0.8f);
        const float a = Clamp01(std::max(core, glow * 0.85f));
        p[0] = Clamp01(0.45f + 0.55f * core);
        p[1] = Clamp01(0.65f + 0.35f * core);
        p[2] = 1.0f;
        alpha.v[i] = a;
    });
    SetAlpha(&im, alpha);
    out->push_back(im);
}

void MakeRingMetal(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    // Blued steel: brushed along x, hammered dents, the temper colour drifting from deep blue to
    // violet and a little straw where the metal ran hot.
    const Field dents = CellNoise(w, h, 6, CELL_F1, 128);
    const Field temper = GradientNoise(w, h, 2, 3, 0.5f, 228);
    const Field pits = ValueNoise(w, h, 64, 1, 0.5f, 328);
    const Field dent = Blur(dents, 1.5f);
    const Field light = Lighting(Scaled(dent, 3.0f), 1.0f);
    Img im = MakeImg(w, h);
    EachTexel(&im, [&](int x, int y, size_t, float* p) {
        const size_t i = static_cast<size_t>(y * w + x);
        // Brushing: each row its own brightness, drifting slowly along x.
        const int seg = w / 4, cx = x / seg;
        const float fx = (Fx(x % seg) + 0.5f) / Fx(seg);
        const uint32_t row = static_cast<uint32_t>(y), c0 = static_cast<uint32_t>(cx),
                       c1 = static_cast<uint32_t>((cx + 1) % 4);
        const float t0 = fx * fx * (3 - 2 * fx);
        const float brush = 0.6f * Mixf(Rand01(28, row, c0), Rand01(28, row, c1), t0) +
                            0.4f * Mixf(Rand01(29, row / 3, c0), Rand01(29, row / 3, c1), t0);
        const float t = temper.v[i];
        float blue[3], violet[3];
        Rgb(0x142848, blue);
        Rgb(0x2a1e48, violet);
        const float lit = 0.45f + 0.8f * light.v[i];
        const float shine = std::pow(Clamp01(light.v[i] * 1.3f - 0.3f), 8.0f) * 0.5f;
        const float k = (0.65f + 0.6f * brush) * lit * (pits.v[i] > 0.92f ? 0.6f : 1.0f);
        for (int ch = 0; ch < 3; ++ch)
            p[ch] = Mixf(blue[ch], violet[ch], Clamp01((t - 0.45f) * 3)) * k +
                    shine * (ch == 2 ? 1.0f : 0.8f);
    });
    Clamp(&im);
    out->push_back(im);
}

void MakeRelicMetal(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    // Old gold-bronze engraved with a script of lines: walks on an 8-texel grid turning by 45 or
    // 90 degrees, each ending in a ring. The grooves are bevelled and glow warm from inside.
    Field groove = MakeField(w, h);
    Field ends = MakeField(w, h);
    const int grid = 8, n = w / grid;
    const int dx[8] = {1, 1, 0, -1, -1, -1, 0, 1}, dy[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    for (int k = 0; k < 14; ++k) {
        int gx = static_cast<int>(Hash(58, static_cast<uint32_t>(k), 1) % static_cast<uint32_t>(n));
        int gy = static_cast<int>(Hash(58, static_cast<uint32_t>(k), 2) % static_cast<uint32_t>(n));
        int dir = static_cast<int>(Hash(58, static_cast<uint32_t>(k), 3) % 4) * 2;
        FillRing(&ends, Fx(gx * grid), Fx(gy * grid), 2.5f, 1.3f);
        const int segments = 2 + static_cast<int>(Hash(58, static_cast<uint32_t>(k), 4) % 4);
        for (int sgm = 0; sgm < segments; ++sgm) {
            const int len =
                1 + static_cast<int>(
                        Hash(58, static_cast<uint32_t>(k), 5, static_cast<uint32_t>(sgm)) % 4);
            const int nx = gx + dx[dir] * len, ny = gy + dy[dir] * len;
            DrawLine(&groove, Fx(gx * grid), Fx(gy * grid), Fx(nx * grid), Fx(ny * grid), 1.4f);
            gx = nx;
            gy = ny;
            const uint32_t turn =
                Hash(58, static_cast<uint32_t>(k), 6, static_cast<uint32_t>(sgm)) % 4;
            dir = (dir + (turn == 0 ? 1 : turn == 1 ? 7 : turn == 2 ? 2 : 6)) % 8;
        }
        FillCircle(&ends, Fx(gx * grid), Fx(gy * grid), 1.8f);
    }
    groove = Max(groove, ends);
    const Field patina = GradientNoise(w, h, 4, 4, 0.55f, 29);
    const Field hammer = CellNoise(w, h, 8, CELL_F1, 129);
    Field height = Add(Scaled(groove, -2.5f), hammer, 0.8f);
    const Field light = Lighting(Blur(height, 0.6f), 1.4f);
    const Field glow = Blur(groove, 2.0f);
    Img im = MakeImg(w, h);
    EachTexel(&im, [&](int x, int y, size_t, float* p) {
        const size_t i = static_cast<size_t>(y * w + x);
        float gold[3], bronze[3], verd[3], ember[3];
        Rgb(0xb08038, gold);
        Rgb(0x5a3818, bronze);
        Rgb(0x3a5a48, verd);
        Rgb(0xff7a20, ember);
        const float t = Clamp01((patina.v[i] - 0.35f) * 2.2f);
        const float green = Clamp01((0.38f - patina.v[i]) * 5.0f) * 0.6f;
        const float lit = 0.3f + 1.0f * light.v[i];
        const float shine = std::pow(Clamp01(light.v[i] * 1.25f - 0.25f), 6.0f) * 0.6f;
        const float g = groove.v[i];
        for (int ch = 0; ch < 3; ++ch) {
            const float metal = Mixf(Mixf(bronze[ch], gold[ch], t), verd[ch], green) * lit + shine;
            const float hot = ember[ch] * (0.6f + 0.4f * g) + (ch == 0   ? 0.3f
                                                               : ch == 1 ? 0.35f
                                                                         : 0.15f) *
                                                                  g * g * g;
            p[ch] = Mixf(metal, hot, Clamp01(g * 1.2f)) + ember[ch] * glow.v[i] * 0.3f;
        }
    });
    Clamp(&im);
    out->push_back(im);
}

void MakeRelicGlow(const TexDesc& s, std::vector<Img>* out) {
    const int w = s.width, h = s.height;
    // A halo: a warm white core, a wide amber falloff and a faint ring, gone before the edge.
    Img im = MakeImg(w, h);
    Field alpha = MakeField(w, h);
    EachTexel(&im, [&](int x, int y, size_t, float* p) {
        const float u = (Fx(x) + 0.5f) / Fx(w) * 2 - 1, v = (Fx(y) + 0.5f) / Fx(h) * 2 - 1;
        const float r = std::hypot(u, v);
        const float fade = Clamp01((0.95f - r) / 0.25f);
        const float core = std::exp(-r * r * 28.0f);
        const float halo = std::exp(-r * r * 5.0f);
        const float ring = std::exp(-(r - 0.62f) * (r - 0.62f) * 300.0f) * 0.25f;
        const float a = Clamp01((core + halo * 0.7f + ring) * fade);
        const float warm = Clamp01(core * 1.5f);
        p[0] = 1.0f;
        p[1] = Mixf(0.72f, 0.97f, warm);
        p[2] = Mixf(0.32f, 0.85f, warm);
        alpha.v[static_cast<size_t>(y * w + x)] = a;
    });
    SetAlpha(&im, alpha);
    out->push_back(im);
}
