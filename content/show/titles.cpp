// titles.cpp: the two title pictures, napis1.pcx (the backdrop the tumbling logo crosses) and
// hlnapis.pcx (the title card), 8-bit with a 256-colour palette and index 0 transparent.
//
// The name is lettered as polished metal: the coverage of the letters is blurred into a rounded
// bevel, the bevel's normals bend a reflected horizon (sky above, dark ground and warm light
// below) and light it, a dark cut outline holds the letters together and a coloured glow
// surrounds them, with a few star glints on the edges.
#include <algorithm>
#include <cmath>

#include "files.h"
#include "show.h"
#include "texconv.h"
#include "text.h"

namespace {

std::string WritePicture(const std::string& path, const Img& im) {
    std::vector<uint8_t> indexes;
    std::vector<uint32_t> palette;
    ImageToIndexed(im, 0x000000, &indexes, &palette);
    return WriteBytes(path, EncodePcx(im.w, im.h, indexes, palette)) ? "" : "cannot write " + path;
}

// How a piece of lettering is finished.
struct Finish {
    const RampStop* reflection;  // top of the letters (0) to their foot (1)
    int stops;
    uint32_t outline;  // the cut round the letters
    uint32_t glow;     // the halo
    float glowStrength;
    float bevel;  // bevel radius in pixels
    float outer;  // outline width in pixels
    int glints;   // star glints on the upper edges
};

const RampStop kChromeSky[] = {{0.0f, 0x0c2060},  {0.22f, 0x3a78d0}, {0.46f, 0xd8ecff},
                               {0.5f, 0xffffff},  {0.52f, 0x281810}, {0.62f, 0x503018},
                               {0.85f, 0xc08040}, {1.0f, 0xffe0a0}};
const RampStop kGoldSky[] = {{0.0f, 0x402000}, {0.25f, 0xb07020}, {0.46f, 0xfff0b0},
                             {0.5f, 0xffffff}, {0.53f, 0x3a1c04}, {0.7f, 0x905010},
                             {0.9f, 0xf0b040}, {1.0f, 0xfff0c0}};

const Finish kChrome = {kChromeSky, 8, 0x04060e, 0x2050ff, 1.1f, 5.0f, 3.0f, 3};

const Finish kGold = {kGoldSky, 8, 0x0c0600, 0xff5a10, 1.0f, 2.5f, 2.5f, 0};

// Letters text into a coverage field, one character at a time with `spacing` extra pixels between
// them, centred on cx; `slant` leans it (pixels of shift per pixel of height above the baseline).
Field Letters(int w, int h, const std::string& font, const char* text, float size, float cx,
              float baseline, float spacing, float slant) {
    Field upright = MakeField(w, h);
    if (!TextOpen(font)) return upright;
    float width = 0;
    for (const char* p = text; *p; ++p) {
        const char one[2] = {*p, 0};
        width += TextWidth(one, size) + (p[1] ? spacing : 0);
    }
    if (spacing == 0) width = TextWidth(text, size);
    if (spacing == 0) {
        DrawText(&upright, text, size, cx, baseline, TEXT_CENTRE);
    } else {
        float x = cx - width / 2;
        for (const char* p = text; *p; ++p) {
            const char one[2] = {*p, 0};
            DrawText(&upright, one, size, x, baseline, TEXT_LEFT);
            x += TextWidth(one, size) + spacing;
        }
    }
    TextClose();
    if (slant == 0) return upright;
    Field out = MakeField(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float sx = Fx(x) + 0.5f - slant * (baseline - Fx(y));
            if (sx < 0 || sx >= Fx(w)) continue;
            out.v[static_cast<size_t>(y * w + x)] = Sample(upright, sx, Fx(y) + 0.5f);
        }
    return out;
}

// The rows the coverage occupies (first and last row with ink), for the reflection's span.
void InkRows(const Field& f, int* top, int* bottom) {
    *top = f.h;
    *bottom = -1;
    for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x)
            if (f.v[static_cast<size_t>(y * f.w + x)] > 0.5f) {
                *top = std::min(*top, y);
                *bottom = std::max(*bottom, y);
                break;
            }
}

// The reflected colour at t (0 top .. 1 foot) of the finish's stops.
void ReflectionAt(const Finish& finish, float t, float out[3]) {
    int k = 0;
    while (k + 2 < finish.stops && t > finish.reflection[k + 1].at) ++k;
    const RampStop &a = finish.reflection[k], &b = finish.reflection[k + 1];
    const float u = Clamp01((t - a.at) / std::max(1e-6f, b.at - a.at));
    float ca[3], cb[3];
    Rgb(a.rgb, ca);
    Rgb(b.rgb, cb);
    for (int ch = 0; ch < 3; ++ch) out[ch] = ca[ch] + (cb[ch] - ca[ch]) * u;
}

// A four-pointed star of light at (cx, cy): thin rays along the axes and a soft core.
void Glint(Img* im, Field* alpha, float cx, float cy, float size) {
    const int r = static_cast<int>(size) + 1;
    for (int y = static_cast<int>(cy) - r; y <= static_cast<int>(cy) + r; ++y)
        for (int x = static_cast<int>(cx) - r; x <= static_cast<int>(cx) + r; ++x) {
            if (x < 0 || y < 0 || x >= im->w || y >= im->h) continue;
            const float dx = std::fabs(Fx(x) + 0.5f - cx), dy = std::fabs(Fx(y) + 0.5f - cy);
            const float ray = std::exp(-dy * dy * 0.8f) * Clamp01(1 - dx / size) +
                              std::exp(-dx * dx * 0.8f) * Clamp01(1 - dy / size);
            const float diag =
                std::exp(-(dx - dy) * (dx - dy) * 0.6f) * Clamp01(1 - (dx + dy) / size) * 0.5f;
            const float core = std::exp(-(dx * dx + dy * dy) / (size * size * 0.012f));
            const float v = Clamp01(ray + diag + core);
            float* p = Px(*im, x, y);
            for (int ch = 0; ch < 3; ++ch) p[ch] = p[ch] + (1 - p[ch]) * v;
            float& a = At(*alpha, x, y);
            a = std::max(a, v);
        }
}

// Finishes the coverage `cover` as polished lettering onto the picture (alpha: where it is drawn).
void Polish(const Field& cover, const Finish& finish, Img* im, Field* alpha) {
    const int w = cover.w, h = cover.h;
    int top = 0, bottom = 0;
    InkRows(cover, &top, &bottom);
    if (bottom < top) return;
    const float span = std::max(1.0f, Fx(bottom - top));
    // Bevel: blurred coverage inside the letters; outline: the coverage grown by `outer` pixels.
    const Field bevel = Blur(cover, finish.bevel);
    Field grown = Blur(cover, finish.outer * 0.7f);
    Levels(&grown, 0.02f, 0.18f);
    Field halo = Blur(grown, 9.0f);
    const Field wide = Blur(grown, 22.0f);
    float glowRgb[3], cutRgb[3];
    Rgb(finish.glow, glowRgb);
    Rgb(finish.outline, cutRgb);
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) {
            const size_t i = static_cast<size_t>(y * w + x);
            float* p = &im->px[i * 4];
            // Glow first (added to what is there), then the cut outline, then the metal.
            const float g = Clamp01(halo.v[i] * 0.9f + wide.v[i] * 0.6f) * finish.glowStrength;
            for (int ch = 0; ch < 3; ++ch) p[ch] += glowRgb[ch] * g * (1 - p[ch]);
            const float c = grown.v[i];
            for (int ch = 0; ch < 3; ++ch) p[ch] = p[ch] + (cutRgb[ch] - p[ch]) * c;
            const float a = cover.v[i];
            if (a > 0) {
                const float nx = -(bevel.v[i + 1] - bevel.v[i - 1]) * 0.5f * finish.bevel * 2.2f;
                const float ny =
                    -(bevel.v[i + static_cast<size_t>(w)] - bevel.v[i - static_cast<size_t>(w)]) *
                    0.5f * finish.bevel * 2.2f;
                const float len = std::sqrt(nx * nx + ny * ny + 1);
                const float lx = -0.45f, ly = -0.6f, lz = 0.66f;
                const float diffuse = Clamp01((nx * lx + ny * ly + lz) / len);
                // Reflection: the horizon seen in the surface moves with the normal's tilt.
                const float t = Clamp01((Fx(y - top) / span) + ny / len * 0.45f);
                float env[3];
                ReflectionAt(finish, t, env);
                // Specular: the light's reflection (half vector with the viewer on z).
                float hx = lx, hy = ly, hz = lz + 1;
                const float hl = std::sqrt(hx * hx + hy * hy + hz * hz);
                hx /= hl;
                hy /= hl;
                hz /= hl;
                const float shine = std::pow(Clamp01((nx * hx + ny * hy + hz) / len), 40.0f);
                // The flat face keeps the reflection; the slopes are lit and darkened.
                const float shade = 0.55f + 0.65f * diffuse;
                for (int ch = 0; ch < 3; ++ch) {
                    const float metal = Clamp01(env[ch] * shade + shine * 0.9f);
                    p[ch] = p[ch] + (metal - p[ch]) * a;
                }
            }
            float& al = alpha->v[i];
            al = std::max(al, std::max(a, c));
        }
    // Glints on the upper edges of the letters, at ink found along a few evenly spaced columns.
    for (int k = 0; k < finish.glints; ++k) {
        const int gx = w * (2 * k + 1) / (2 * finish.glints) +
                       static_cast<int>(Rand01(90, static_cast<uint32_t>(k)) * Fx(w) * 0.12f);
        for (int y = 0; y < h; ++y)
            if (At(cover, gx, y) > 0.5f) {
                Glint(im, alpha, Fx(gx), Fx(y) + 1, span * 0.35f);
                break;
            }
    }
}

// A thin rule fading out toward its ends, with a soft glow.
void Rule(Img* im, Field* alpha, float x0, float x1, float y, uint32_t rgb) {
    Field line = MakeField(im->w, im->h);
    DrawLine(&line, x0, y, x1, y, 1.5f);
    for (int yy = 0; yy < im->h; ++yy)
        for (int x = 0; x < im->w; ++x) {
            const float u = (Fx(x) + 0.5f - x0) / (x1 - x0);
            const float fade = Clamp01(std::min(u, 1 - u) * 4);
            At(line, x, yy) *= fade * fade;
        }
    const Field glow = Blur(line, 3.0f);
    float c[3];
    Rgb(rgb, c);
    for (size_t i = 0; i < line.v.size(); ++i) {
        const float v = Clamp01(line.v[i] + glow.v[i] * 1.5f);
        float* p = &im->px[i * 4];
        for (int ch = 0; ch < 3; ++ch) p[ch] += (Clamp01(c[ch] + line.v[i] * 0.6f) - p[ch]) * v;
        alpha->v[i] = std::max(alpha->v[i], v);
    }
}

// The finished picture: opaque where anything was drawn brightly enough to be seen, else index 0.
Img Picture(Img im, const Field& alpha) {
    for (size_t i = 0; i < alpha.v.size(); ++i) {
        float* p = &im.px[i * 4];
        const float l = 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2];
        p[3] = (alpha.v[i] > 0.5f || l > 0.035f) ? 1.0f : 0.0f;
    }
    Clamp(&im);
    return im;
}

Img Backdrop(const FontFiles& fonts) {
    const int w = 640, h = 480;
    Img im = MakeImg(w, h, 0x000000, 0);
    Field alpha = MakeField(w, h);
    // The name across the top band, the line under it across the bottom band; the middle, where
    // the chip tumbles, stays black.
    const Field name = Letters(w, h, fonts.sans_bold, "TAMBIR", 124, Fx(w) / 2, 128, 6, 0.16f);
    Polish(name, kChrome, &im, &alpha);
    Rule(&im, &alpha, 70, Fx(w) - 70, 150, 0x4080ff);
    Rule(&im, &alpha, 110, Fx(w) - 110, 392, 0xff9030);
    const Field line =
        Letters(w, h, fonts.sans_bold, "A REAL-TIME DEMO", 34, Fx(w) / 2, 440, 7, 0.16f);
    Polish(line, kGold, &im, &alpha);
    return Picture(im, alpha);
}

Img TitleCard(const FontFiles& fonts) {
    const int w = 512, h = 256;
    Img im = MakeImg(w, h, 0x000000, 0);
    Field alpha = MakeField(w, h);
    const Field name = Letters(w, h, fonts.sans_bold, "TAMBIR", 98, Fx(w) / 2, 146, 4, 0.16f);
    Polish(name, kChrome, &im, &alpha);
    Rule(&im, &alpha, 50, Fx(w) - 50, 168, 0x4080ff);
    const Field line = Letters(w, h, fonts.serif_bold, "d e m o", 34, Fx(w) / 2, 212, 4, 0);
    Polish(line, kGold, &im, &alpha);
    return Picture(im, alpha);
}

}  // namespace

std::string WriteTitles(const std::string& dir, const FontFiles& fonts) {
    std::string failed = WritePicture(dir + "/napis1.pcx", Backdrop(fonts));
    if (failed.empty()) failed = WritePicture(dir + "/hlnapis.pcx", TitleCard(fonts));
    return failed;
}
