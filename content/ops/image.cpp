// image.cpp: the texture toolkit's operators (see image.h).
#include "image.h"

#include <algorithm>
#include <cmath>

namespace {

inline float Fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }
inline int Wrap(int i, int n) { return ((i % n) + n) % n; }

// Calls fn(x, y, &texel) for every texel of a field.
template <typename Fn>
void ForEach(Field* f, Fn fn) {
    for (int y = 0; y < f->h; ++y)
        for (int x = 0; x < f->w; ++x) fn(x, y, &f->v[static_cast<size_t>(y * f->w + x)]);
}

// Periodic gradient noise of one octave: `cells` lattice cells across, value about -0.7..0.7.
float GradientAt(float u, float v, int cells, uint32_t seed) {
    const int i0 = static_cast<int>(std::floor(u)), j0 = static_cast<int>(std::floor(v));
    const float fu = u - static_cast<float>(i0), fv = v - static_cast<float>(j0);
    float corner[4];
    for (int k = 0; k < 4; ++k) {
        const int di = k & 1, dj = k >> 1;
        const uint32_t hsh = Hash(seed, static_cast<uint32_t>(Wrap(i0 + di, cells)),
                                  static_cast<uint32_t>(Wrap(j0 + dj, cells)));
        const float angle = static_cast<float>(hsh & 0xFFFF) / 65536.0f * 2 * kPi;
        corner[k] = std::cos(angle) * (fu - static_cast<float>(di)) +
                    std::sin(angle) * (fv - static_cast<float>(dj));
    }
    const float su = Fade(fu), sv = Fade(fv);
    return Mixf(Mixf(corner[0], corner[1], su), Mixf(corner[2], corner[3], su), sv);
}

float ValueAt(float u, float v, int cells, uint32_t seed) {
    const int i0 = static_cast<int>(std::floor(u)), j0 = static_cast<int>(std::floor(v));
    const float su = Fade(u - static_cast<float>(i0)), sv = Fade(v - static_cast<float>(j0));
    auto at = [&](int i, int j) {
        return Rand01(seed, static_cast<uint32_t>(Wrap(i, cells)),
                      static_cast<uint32_t>(Wrap(j, cells)));
    };
    return Mixf(Mixf(at(i0, j0), at(i0 + 1, j0), su), Mixf(at(i0, j0 + 1), at(i0 + 1, j0 + 1), su),
                sv);
}

// Sums octaves of a lattice noise; `centred` noises are about -0.7..0.7 and get shifted to 0..1.
template <typename Octave>
Field Octaves(int w, int h, int cells, int octaves, float persistence, uint32_t seed, bool centred,
              Octave octave) {
    Field f = MakeField(w, h);
    float total = 0, amp = 1;
    for (int o = 0; o < octaves; ++o) {
        const int c = cells << o;
        const uint32_t s = Hash(seed, static_cast<uint32_t>(o), 0x6e6f);
        ForEach(&f, [&](int x, int y, float* t) {
            const float u =
                (static_cast<float>(x) + 0.5f) * static_cast<float>(c) / static_cast<float>(w);
            const float v =
                (static_cast<float>(y) + 0.5f) * static_cast<float>(c) / static_cast<float>(h);
            *t += amp * octave(u, v, c, s);
        });
        total += amp;
        amp *= persistence;
    }
    for (float& t : f.v) t = centred ? Clamp01(0.5f + t / total * 0.72f) : t / total;
    return f;
}

template <typename Fn>
void Shape(Field* f, float x0, float y0, float x1, float y1, float amount, int mode,
           Fn signedDistance) {
    const int ix0 = static_cast<int>(std::floor(x0)) - 1,
              iy0 = static_cast<int>(std::floor(y0)) - 1;
    const int ix1 = static_cast<int>(std::ceil(x1)) + 1, iy1 = static_cast<int>(std::ceil(y1)) + 1;
    for (int y = iy0; y <= iy1; ++y)
        for (int x = ix0; x <= ix1; ++x) {
            const float cover = Clamp01(
                0.5f - signedDistance(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f));
            if (cover <= 0) continue;
            float& t = At(*f, x, y);
            if (mode == 1)
                t = Mixf(t, amount, cover);
            else if (mode == 2)
                t += cover * amount;
            else
                t = std::max(t, cover * amount);
        }
}

// One box pass of half-width k along rows (stride 1) or columns, wrapping; keeps the sum.
void BoxPass(std::vector<float>& v, int w, int h, int k, bool alongRows, int channels) {
    const int n = alongRows ? w : h, lines = alongRows ? h : w;
    if (k <= 0 || n <= 1) return;
    std::vector<float> line(static_cast<size_t>(n) * channels), out(line.size());
    const float scale = 1.0f / static_cast<float>(2 * k + 1);
    for (int l = 0; l < lines; ++l) {
        auto index = [&](int i) {
            return static_cast<size_t>(alongRows ? l * w + i : i * w + l) *
                   static_cast<size_t>(channels);
        };
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c)
                line[static_cast<size_t>(i * channels + c)] = v[index(i) + static_cast<size_t>(c)];
        for (int c = 0; c < channels; ++c) {
            double sum = 0;
            for (int i = -k; i <= k; ++i)
                sum += line[static_cast<size_t>(Wrap(i, n) * channels + c)];
            for (int i = 0; i < n; ++i) {
                out[static_cast<size_t>(i * channels + c)] = static_cast<float>(sum) * scale;
                sum += line[static_cast<size_t>(Wrap(i + k + 1, n) * channels + c)] -
                       line[static_cast<size_t>(Wrap(i - k, n) * channels + c)];
            }
        }
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c)
                v[index(i) + static_cast<size_t>(c)] = out[static_cast<size_t>(i * channels + c)];
    }
}

void BlurData(std::vector<float>& v, int w, int h, float radius, int channels) {
    // Three box passes of width 2k + 1 give a Gaussian of variance 3 ((2k+1)^2 - 1) / 12.
    const int k =
        std::max(0, static_cast<int>(std::lround(std::sqrt(radius * radius + 0.25f) - 0.5f)));
    for (int pass = 0; pass < 3; ++pass) {
        BoxPass(v, w, h, k, true, channels);
        BoxPass(v, w, h, k, false, channels);
    }
}

}  // namespace

// ---- making and reading ----

Field MakeField(int w, int h, float value) {
    Field f;
    f.w = w;
    f.h = h;
    f.v.assign(static_cast<size_t>(w) * static_cast<size_t>(h), value);
    return f;
}

Img MakeImg(int w, int h, uint32_t rgb, float alpha) {
    Img im;
    im.w = w;
    im.h = h;
    im.px.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    float c[3];
    Rgb(rgb, c);
    for (size_t i = 0; i < im.px.size(); i += 4) {
        im.px[i] = c[0];
        im.px[i + 1] = c[1];
        im.px[i + 2] = c[2];
        im.px[i + 3] = alpha;
    }
    return im;
}

float Sample(const Field& f, float x, float y) {
    x -= 0.5f;
    y -= 0.5f;
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const float fx = x - static_cast<float>(x0), fy = y - static_cast<float>(y0);
    return Mixf(Mixf(At(f, x0, y0), At(f, x0 + 1, y0), fx),
                Mixf(At(f, x0, y0 + 1), At(f, x0 + 1, y0 + 1), fx), fy);
}

void SampleImg(const Img& im, float x, float y, float out[4]) {
    x -= 0.5f;
    y -= 0.5f;
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const float fx = x - static_cast<float>(x0), fy = y - static_cast<float>(y0);
    const float *a = Px(im, x0, y0), *b = Px(im, x0 + 1, y0), *c = Px(im, x0, y0 + 1),
                *d = Px(im, x0 + 1, y0 + 1);
    for (int k = 0; k < 4; ++k) out[k] = Mixf(Mixf(a[k], b[k], fx), Mixf(c[k], d[k], fx), fy);
}

// ---- randomness ----

uint32_t Hash(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    uint32_t h = 0x9E3779B9u;
    for (uint32_t v : {a, b, c, d}) {
        h ^= v + 0x7F4A7C15u + (h << 6) + (h >> 2);
        h ^= h >> 16;
        h *= 0x85EBCA6Bu;
        h ^= h >> 13;
        h *= 0xC2B2AE35u;
        h ^= h >> 16;
    }
    return h;
}

float Rand01(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return static_cast<float>(Hash(a, b, c, d) >> 8) / 16777216.0f;
}

// ---- noises ----

Field ValueNoise(int w, int h, int cells, int octaves, float persistence, uint32_t seed) {
    return Octaves(w, h, cells, octaves, persistence, seed, false, ValueAt);
}

Field GradientNoise(int w, int h, int cells, int octaves, float persistence, uint32_t seed) {
    return Octaves(w, h, cells, octaves, persistence, seed, true, GradientAt);
}

Field Ridged(int w, int h, int cells, int octaves, float persistence, uint32_t seed) {
    return Octaves(w, h, cells, octaves, persistence, seed, false,
                   [](float u, float v, int c, uint32_t s) {
                       return 1.0f - std::fabs(GradientAt(u, v, c, s)) * 1.4f;
                   });
}

Field CellNoise(int w, int h, int cells, CellMode mode, uint32_t seed, Field* ids) {
    Field f = MakeField(w, h);
    if (ids) *ids = MakeField(w, h);
    ForEach(&f, [&](int x, int y, float* t) {
        const float u =
            (static_cast<float>(x) + 0.5f) * static_cast<float>(cells) / static_cast<float>(w);
        const float v =
            (static_cast<float>(y) + 0.5f) * static_cast<float>(cells) / static_cast<float>(h);
        const int ci = static_cast<int>(std::floor(u)), cj = static_cast<int>(std::floor(v));
        float f1 = 1e9f, f2 = 1e9f;
        uint32_t nearest = 0;
        for (int dj = -1; dj <= 1; ++dj)
            for (int di = -1; di <= 1; ++di) {
                const uint32_t wi = static_cast<uint32_t>(Wrap(ci + di, cells)),
                               wj = static_cast<uint32_t>(Wrap(cj + dj, cells));
                const float px =
                    static_cast<float>(ci + di) + 0.1f + 0.8f * Rand01(seed, wi, wj, 1);
                const float py =
                    static_cast<float>(cj + dj) + 0.1f + 0.8f * Rand01(seed, wi, wj, 2);
                const float d = std::hypot(px - u, py - v);
                if (d < f1) {
                    f2 = f1;
                    f1 = d;
                    nearest = Hash(seed, wi, wj, 3);
                } else if (d < f2) {
                    f2 = d;
                }
            }
        *t = mode == CELL_F1 ? f1 : mode == CELL_F2 ? f2 : f2 - f1;
        if (ids)
            ids->v[static_cast<size_t>(y * w + x)] = static_cast<float>(nearest >> 8) / 16777216.0f;
    });
    return f;
}

// ---- patterns ----

Field Bricks(int w, int h, int rows, int cols, float offset, float mortar, float bevel,
             uint32_t seed, Field* ids, float jitter) {
    Field f = MakeField(w, h);
    if (ids) *ids = MakeField(w, h);
    const float bw = static_cast<float>(w) / static_cast<float>(cols),
                bh = static_cast<float>(h) / static_cast<float>(rows);
    ForEach(&f, [&](int x, int y, float* t) {
        const float v = (static_cast<float>(y) + 0.5f) / bh;
        const int row = std::min(rows - 1, static_cast<int>(v));
        float shift = (row & 1) ? offset : 0;
        shift += jitter * (Rand01(seed, static_cast<uint32_t>(row), 7) - 0.5f);
        const float u = (static_cast<float>(x) + 0.5f) / bw - shift;
        const int col = static_cast<int>(std::floor(u));
        const float fu = u - static_cast<float>(col), fv = v - static_cast<float>(row);
        const float dx = std::min(fu, 1 - fu) * bw, dy = std::min(fv, 1 - fv) * bh;
        const float d = std::min(dx, dy) - mortar * 0.5f;
        const float e = bevel > 0 ? Clamp01(d / bevel) : (d > 0 ? 1.0f : 0.0f);
        *t = d <= 0 ? 0 : e * e * (3 - 2 * e);
        if (ids)
            ids->v[static_cast<size_t>(y * w + x)] =
                Rand01(seed, static_cast<uint32_t>(row), static_cast<uint32_t>(Wrap(col, cols)));
    });
    return f;
}

Field LinearGradient(int w, int h, float dx, float dy) {
    Field f = MakeField(w, h);
    const float len = std::hypot(dx, dy);
    dx /= len;
    dy /= len;
    // Project the four corners to find the range.
    float lo = 1e9f, hi = -1e9f;
    for (int k = 0; k < 4; ++k) {
        const float p =
            static_cast<float>((k & 1) * w) * dx + static_cast<float>((k >> 1) * h) * dy;
        lo = std::min(lo, p);
        hi = std::max(hi, p);
    }
    ForEach(&f, [&](int x, int y, float* t) {
        *t = ((static_cast<float>(x) + 0.5f) * dx + (static_cast<float>(y) + 0.5f) * dy - lo) /
             (hi - lo);
    });
    return f;
}

Field RadialGradient(int w, int h, float cx, float cy, float radius) {
    Field f = MakeField(w, h);
    ForEach(&f, [&](int x, int y, float* t) {
        const float px = (static_cast<float>(x) + 0.5f) / static_cast<float>(w) - cx;
        const float py = ((static_cast<float>(y) + 0.5f) / static_cast<float>(h) - cy) *
                         static_cast<float>(h) / static_cast<float>(w);
        *t = std::hypot(px, py) / radius;
    });
    return f;
}

// ---- shapes ----

void FillCircle(Field* f, float cx, float cy, float r, float amount, int mode) {
    Shape(f, cx - r, cy - r, cx + r, cy + r, amount, mode,
          [&](float x, float y) { return std::hypot(x - cx, y - cy) - r; });
}

void FillRing(Field* f, float cx, float cy, float r, float width, float amount, int mode) {
    const float o = r + width * 0.5f;
    Shape(f, cx - o, cy - o, cx + o, cy + o, amount, mode, [&](float x, float y) {
        return std::fabs(std::hypot(x - cx, y - cy) - r) - width * 0.5f;
    });
}

void FillRect(Field* f, float x0, float y0, float x1, float y1, float amount, int mode) {
    Shape(f, x0, y0, x1, y1, amount, mode, [&](float x, float y) {
        return std::max(std::max(x0 - x, x - x1), std::max(y0 - y, y - y1));
    });
}

void DrawLine(Field* f, float x0, float y0, float x1, float y1, float width, float amount,
              int mode) {
    const float r = width * 0.5f;
    const float ex = x1 - x0, ey = y1 - y0, len2 = std::max(1e-6f, ex * ex + ey * ey);
    Shape(f, std::min(x0, x1) - r, std::min(y0, y1) - r, std::max(x0, x1) + r, std::max(y0, y1) + r,
          amount, mode, [&](float x, float y) {
              const float t = Clamp01(((x - x0) * ex + (y - y0) * ey) / len2);
              return std::hypot(x - x0 - ex * t, y - y0 - ey * t) - r;
          });
}

// ---- field arithmetic ----

template <typename Fn>
static Field Combine(const Field& a, const Field& b, Fn fn) {
    Field f = MakeField(a.w, a.h);
    for (size_t i = 0; i < f.v.size(); ++i) f.v[i] = fn(a.v[i], b.v[i]);
    return f;
}

Field Add(const Field& a, const Field& b, float kb) {
    return Combine(a, b, [kb](float x, float y) { return x + y * kb; });
}
Field Mul(const Field& a, const Field& b) {
    return Combine(a, b, [](float x, float y) { return x * y; });
}
Field Max(const Field& a, const Field& b) {
    return Combine(a, b, [](float x, float y) { return std::max(x, y); });
}
Field Min(const Field& a, const Field& b) {
    return Combine(a, b, [](float x, float y) { return std::min(x, y); });
}

Field Lerp(const Field& a, const Field& b, const Field& t) {
    Field f = MakeField(a.w, a.h);
    for (size_t i = 0; i < f.v.size(); ++i) f.v[i] = Mixf(a.v[i], b.v[i], t.v[i]);
    return f;
}

void Levels(Field* f, float lo, float hi) {
    for (float& t : f->v) t = Clamp01((t - lo) / (hi - lo));
}

void SmoothStep(Field* f, float edge0, float edge1) {
    for (float& t : f->v) {
        const float e = Clamp01((t - edge0) / (edge1 - edge0));
        t = e * e * (3 - 2 * e);
    }
}

void Pow(Field* f, float e) {
    for (float& t : f->v) t = std::pow(std::max(0.0f, t), e);
}

void Invert(Field* f) {
    for (float& t : f->v) t = 1 - t;
}

void Scale(Field* f, float k, float add) {
    for (float& t : f->v) t = t * k + add;
}

void Normalize(Field* f) {
    if (f->v.empty()) return;
    const auto [lo, hi] = std::minmax_element(f->v.begin(), f->v.end());
    const float a = *lo, b = *hi;
    if (b - a < 1e-9f) return;
    for (float& t : f->v) t = (t - a) / (b - a);
}

// ---- filters ----

Field Blur(const Field& f, float radius) {
    Field out = f;
    BlurData(out.v, f.w, f.h, radius, 1);
    return out;
}

Img BlurImg(const Img& im, float radius) {
    Img out = im;
    BlurData(out.px, im.w, im.h, radius, 4);
    return out;
}

Field Distort(const Field& f, const Field& dx, const Field& dy, float amount) {
    Field out = MakeField(f.w, f.h);
    ForEach(&out, [&](int x, int y, float* t) {
        const size_t i = static_cast<size_t>(y * f.w + x);
        *t = Sample(f, static_cast<float>(x) + 0.5f + (dx.v[i] * 2 - 1) * amount,
                    static_cast<float>(y) + 0.5f + (dy.v[i] * 2 - 1) * amount);
    });
    return out;
}

Img DistortImg(const Img& im, const Field& dx, const Field& dy, float amount) {
    Img out = im;
    for (int y = 0; y < im.h; ++y)
        for (int x = 0; x < im.w; ++x) {
            const size_t i = static_cast<size_t>(y * im.w + x);
            SampleImg(im, static_cast<float>(x) + 0.5f + (dx.v[i] * 2 - 1) * amount,
                      static_cast<float>(y) + 0.5f + (dy.v[i] * 2 - 1) * amount, &out.px[i * 4]);
        }
    return out;
}

Field Lighting(const Field& height, float strength, float lx, float ly, float lz) {
    Field out = MakeField(height.w, height.h);
    const float ll = std::sqrt(lx * lx + ly * ly + lz * lz);
    lx /= ll;
    ly /= ll;
    lz /= ll;
    ForEach(&out, [&](int x, int y, float* t) {
        const float nx = -(At(height, x + 1, y) - At(height, x - 1, y)) * 0.5f * strength;
        const float ny = -(At(height, x, y + 1) - At(height, x, y - 1)) * 0.5f * strength;
        const float len = std::sqrt(nx * nx + ny * ny + 1);
        *t = std::max(0.0f, (nx * lx + ny * ly + lz) / len);
    });
    return out;
}

Field Cavity(const Field& height, float radius) { return Add(height, Blur(height, radius), -1); }

// ---- colour ----

void Rgb(uint32_t rgb, float out[3]) {
    out[0] = static_cast<float>((rgb >> 16) & 0xFF) / 255.0f;
    out[1] = static_cast<float>((rgb >> 8) & 0xFF) / 255.0f;
    out[2] = static_cast<float>(rgb & 0xFF) / 255.0f;
}

Img Ramp(const Field& f, std::initializer_list<RampStop> stops) {
    Img im = MakeImg(f.w, f.h);
    std::vector<RampStop> s(stops);
    std::vector<float> c(s.size() * 3);
    for (size_t k = 0; k < s.size(); ++k) Rgb(s[k].rgb, &c[k * 3]);
    for (size_t i = 0; i < f.v.size(); ++i) {
        const float t = f.v[i];
        size_t k = 0;
        while (k + 1 < s.size() && t > s[k + 1].at) ++k;
        float* p = &im.px[i * 4];
        if (k + 1 >= s.size() || t <= s[k].at) {
            for (int ch = 0; ch < 3; ++ch) p[ch] = c[k * 3 + static_cast<size_t>(ch)];
        } else {
            const float u = (t - s[k].at) / std::max(1e-6f, s[k + 1].at - s[k].at);
            for (int ch = 0; ch < 3; ++ch)
                p[ch] = Mixf(c[k * 3 + static_cast<size_t>(ch)],
                             c[(k + 1) * 3 + static_cast<size_t>(ch)], u);
        }
    }
    return im;
}

void Modulate(Img* im, const Field& f, float amount) {
    for (size_t i = 0; i < f.v.size(); ++i) {
        const float k = Mixf(1.0f, f.v[i], amount);
        for (int ch = 0; ch < 3; ++ch) im->px[i * 4 + static_cast<size_t>(ch)] *= k;
    }
}

void AddColor(Img* im, const Field& f, uint32_t rgb, float amount) {
    float c[3];
    Rgb(rgb, c);
    for (size_t i = 0; i < f.v.size(); ++i)
        for (int ch = 0; ch < 3; ++ch)
            im->px[i * 4 + static_cast<size_t>(ch)] += c[ch] * f.v[i] * amount;
}

void Mask(Img* base, const Img& top, const Field& mask, float amount) {
    for (size_t i = 0; i < mask.v.size(); ++i) {
        const float t = Clamp01(mask.v[i] * amount);
        for (int ch = 0; ch < 3; ++ch) {
            float& b = base->px[i * 4 + static_cast<size_t>(ch)];
            b = Mixf(b, top.px[i * 4 + static_cast<size_t>(ch)], t);
        }
    }
}

Img Mix(const Img& a, const Img& b, float t) {
    Img out = a;
    for (size_t i = 0; i < out.px.size(); ++i) out.px[i] = Mixf(a.px[i], b.px[i], t);
    return out;
}

void SetAlpha(Img* im, const Field& alpha) {
    for (size_t i = 0; i < alpha.v.size(); ++i) im->px[i * 4 + 3] = Clamp01(alpha.v[i]);
}

Field Luma(const Img& im) {
    Field f = MakeField(im.w, im.h);
    for (size_t i = 0; i < f.v.size(); ++i)
        f.v[i] = 0.299f * im.px[i * 4] + 0.587f * im.px[i * 4 + 1] + 0.114f * im.px[i * 4 + 2];
    return f;
}

void Glow(Img* im, float radius, float threshold, float strength) {
    Img bright = *im;
    for (size_t i = 0; i < bright.px.size(); i += 4) {
        const float l =
            0.299f * bright.px[i] + 0.587f * bright.px[i + 1] + 0.114f * bright.px[i + 2];
        const float k = threshold < 1 ? std::max(0.0f, l - threshold) / (1 - threshold) : 0.0f;
        for (int ch = 0; ch < 3; ++ch) bright.px[i + static_cast<size_t>(ch)] *= k;
    }
    bright = BlurImg(bright, radius);
    for (size_t i = 0; i < im->px.size(); i += 4)
        for (int ch = 0; ch < 3; ++ch)
            im->px[i + static_cast<size_t>(ch)] +=
                bright.px[i + static_cast<size_t>(ch)] * strength;
}

void Clamp(Img* im) {
    for (float& p : im->px) p = Clamp01(p);
}

void Saturate(Img* im, float s) {
    for (size_t i = 0; i < im->px.size(); i += 4) {
        float* p = &im->px[i];
        const float l = 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2];
        for (int ch = 0; ch < 3; ++ch) p[ch] = l + (p[ch] - l) * s;
    }
}

// ---- animation ----

std::vector<Field> FireFrames(int w, int h, int frames, float cooling, uint32_t seed) {
    // The heat grid has two source rows below the picture.
    const int gh = h + 2;
    std::vector<float> heat(static_cast<size_t>(w * gh), 0.0f), next(heat.size());
    const int stepsPerFrame = std::max(2, h / 24);
    const int fade = std::max(1, frames / 2);
    int step = 0;
    auto simulate = [&]() {
        // A bed of embers that flickers: smooth random spots along the source rows.
        for (int x = 0; x < w; ++x) {
            const float spot =
                Rand01(seed, static_cast<uint32_t>(step / 3), static_cast<uint32_t>(x / 3));
            const float slow =
                0.5f + 0.5f * std::sin(static_cast<float>(x) * 2 * kPi / static_cast<float>(w) * 3 +
                                       static_cast<float>(step) * 0.05f);
            const float v = Clamp01(spot * 1.6f - 0.3f) * (0.6f + 0.4f * slow);
            heat[static_cast<size_t>((gh - 1) * w + x)] = v;
            heat[static_cast<size_t>((gh - 2) * w + x)] =
                Mixf(heat[static_cast<size_t>((gh - 2) * w + x)], v, 0.6f);
        }
        for (int y = 0; y < gh - 2; ++y)
            for (int x = 0; x < w; ++x) {
                const float below = heat[static_cast<size_t>((y + 1) * w + x)];
                const float left = heat[static_cast<size_t>((y + 1) * w + Wrap(x - 1, w))];
                const float right = heat[static_cast<size_t>((y + 1) * w + Wrap(x + 1, w))];
                const float below2 = heat[static_cast<size_t>((y + 2) * w + x)];
                const float sway = Rand01(seed, static_cast<uint32_t>(step),
                                          static_cast<uint32_t>(x), static_cast<uint32_t>(y));
                const float avg = (below * 1.6f + left * (0.6f + sway * 0.4f) +
                                   right * (1.0f - sway * 0.4f) + below2 * 0.8f) /
                                  4.0f;
                next[static_cast<size_t>(y * w + x)] =
                    std::max(0.0f, avg - cooling * (0.5f + sway));
            }
        for (int y = 0; y < gh - 2; ++y)
            for (int x = 0; x < w; ++x)
                heat[static_cast<size_t>(y * w + x)] = next[static_cast<size_t>(y * w + x)];
        ++step;
    };
    auto snapshot = [&]() {
        Field f = MakeField(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                f.v[static_cast<size_t>(y * w + x)] =
                    Clamp01(heat[static_cast<size_t>(y * w + x)] * 1.3f);
        return f;
    };
    for (int i = 0; i < h * 2; ++i) simulate();  // warm up until the flames reach the top
    std::vector<Field> run;
    for (int i = 0; i < frames + fade; ++i) {
        for (int s = 0; s < stepsPerFrame; ++s) simulate();
        run.push_back(snapshot());
    }
    // Loop: the first `fade` frames blend from the run's continuation into its start, so the last
    // frame leads into the first as it led into the frame after it.
    std::vector<Field> out(run.begin(), run.begin() + frames);
    for (int i = 0; i < fade && i < frames; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(fade);
        for (size_t k = 0; k < out[static_cast<size_t>(i)].v.size(); ++k)
            out[static_cast<size_t>(i)].v[k] = Mixf(run[static_cast<size_t>(frames + i)].v[k],
                                                    run[static_cast<size_t>(i)].v[k], t);
    }
    return out;
}
