// image.h: the texture toolkit. Small operators on float images that compose into every texture
// of the show: noises, bricks and tiles, gradients, shapes, blur, lighting from a height field,
// colour ramps, blends and masks, glow, distortion and a fire simulation.
//
// Two records: a Field holds one float per texel (heights, masks, noise, usually 0..1); an Img
// holds four (red, green, blue, alpha, 0..1, not premultiplied). Both wrap at their edges: every
// operator that reads neighbours (blur, lighting, distortion) reads across the edge, so a texture
// made of these operators tiles without a seam as long as its noises are periodic, which they all
// are (their lattices are whole numbers of cells per side).
//
// Randomness comes only from the seeds passed in (a hash, no global state), so the same calls give
// the same texels on every run.
//
//     Field h = GradientNoise(256, 256, 8, 5, 0.5f, 17);   // 8 cells per side, 5 octaves
//     Field bumps = Blur(h, 2);
//     Field shade = Lighting(bumps, 3.0f);
//     Img stone = Ramp(h, {{0, 0x303030}, {1, 0x9A8C78}});
//     Modulate(&stone, shade);
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

struct Field {
    int w = 0, h = 0;
    std::vector<float> v;  // w x h, rows top to bottom
};

struct Img {
    int w = 0, h = 0;
    std::vector<float> px;  // w x h x 4: r, g, b, a
};

// ---- making and reading ----

Field MakeField(int w, int h, float value = 0);
Img MakeImg(int w, int h, uint32_t rgb = 0, float alpha = 1);
// Texel (x, y) with wrap-around (any integers).
inline float& At(Field& f, int x, int y) {
    return f.v[static_cast<size_t>(((y % f.h + f.h) % f.h) * f.w + ((x % f.w + f.w) % f.w))];
}
inline float At(const Field& f, int x, int y) {
    return f.v[static_cast<size_t>(((y % f.h + f.h) % f.h) * f.w + ((x % f.w + f.w) % f.w))];
}
inline float* Px(Img& im, int x, int y) {
    return &im.px[static_cast<size_t>(((y % im.h + im.h) % im.h) * im.w +
                                      ((x % im.w + im.w) % im.w)) *
                  4];
}
inline const float* Px(const Img& im, int x, int y) {
    return &im.px[static_cast<size_t>(((y % im.h + im.h) % im.h) * im.w +
                                      ((x % im.w + im.w) % im.w)) *
                  4];
}
// Small helpers shared by the generators.
constexpr float kPi = 3.14159265358979f;
inline float Clamp01(float v) { return v < 0 ? 0 : v > 1 ? 1 : v; }
inline float Mixf(float a, float b, float t) { return a + (b - a) * t; }
inline float Fx(int x) { return static_cast<float>(x); }
// Calls fn(x, y, index, texel) for every texel of the image, rows top to bottom.
template <typename Fn>
void EachTexel(Img* im, Fn fn) {
    for (int y = 0; y < im->h; ++y)
        for (int x = 0; x < im->w; ++x) fn(x, y, static_cast<size_t>(y * im->w + x), Px(*im, x, y));
}

// Bilinear sample at texel coordinates (x, y), wrapping.
float Sample(const Field& f, float x, float y);
void SampleImg(const Img& im, float x, float y, float out[4]);

// ---- randomness ----

// A 32-bit hash of integers: the one source of randomness of the toolkit.
uint32_t Hash(uint32_t a, uint32_t b = 0, uint32_t c = 0, uint32_t d = 0);
// The hash as a float in 0..1.
float Rand01(uint32_t a, uint32_t b = 0, uint32_t c = 0, uint32_t d = 0);

// ---- noises (periodic over the field; result 0..1) ----

// Sums `octaves` layers, the first with `cells` lattice cells per side, each next with twice the
// cells and `persistence` times the amplitude; normalised to 0..1 by the largest possible sum.
Field ValueNoise(int w, int h, int cells, int octaves, float persistence, uint32_t seed);
Field GradientNoise(int w, int h, int cells, int octaves, float persistence, uint32_t seed);
// Cellular noise: one jittered point per cell of a cells x cells grid (periodic). F1 = distance to
// the nearest point, F2 to the second nearest, in cell units. `ids` (optional) receives a 0..1
// value per texel that is constant over each point's region.
enum CellMode { CELL_F1, CELL_F2, CELL_EDGE };  // CELL_EDGE = F2 - F1 (0 on region borders)
Field CellNoise(int w, int h, int cells, CellMode mode, uint32_t seed, Field* ids = nullptr);
// Ridged turbulence: 1 - |2n - 1| of gradient noise layers, for veins and cracks.
Field Ridged(int w, int h, int cells, int octaves, float persistence, uint32_t seed);

// ---- patterns ----

// Courses of bricks. rows x cols bricks per side, every other row shifted by `offset` of a brick
// (0.5 for running bond, 0 for a grid of tiles); `mortar` the joint width in texels; `bevel` the
// width in texels over which a brick's edge rises to its full height. height: 0 in the joints,
// 1 on brick faces. ids (optional): a random 0..1 per brick. jitter moves the joints along a row
// by up to that fraction of a brick.
Field Bricks(int w, int h, int rows, int cols, float offset, float mortar, float bevel,
             uint32_t seed, Field* ids = nullptr, float jitter = 0);
// Linear gradient 0..1 along the direction (dx, dy) across the field (not periodic).
Field LinearGradient(int w, int h, float dx, float dy);
// Distance from (cx, cy) (fractions of the side) divided by radius (fraction of the width).
Field RadialGradient(int w, int h, float cx, float cy, float radius);

// ---- shapes, drawn into a field with antialiased edges (coordinates in texels) ----

// value = max(value, cover x amount) by default; `mode` 1 replaces (blend by cover), 2 adds.
void FillCircle(Field* f, float cx, float cy, float r, float amount = 1, int mode = 0);
void FillRing(Field* f, float cx, float cy, float r, float width, float amount = 1, int mode = 0);
void FillRect(Field* f, float x0, float y0, float x1, float y1, float amount = 1, int mode = 0);
void DrawLine(Field* f, float x0, float y0, float x1, float y1, float width, float amount = 1,
              int mode = 0);

// ---- field arithmetic ----

Field Add(const Field& a, const Field& b, float kb = 1);
Field Mul(const Field& a, const Field& b);
Field Max(const Field& a, const Field& b);
Field Min(const Field& a, const Field& b);
// a x (1 - t) + b x t per texel.
Field Lerp(const Field& a, const Field& b, const Field& t);
// Maps [lo, hi] to [0, 1] and clamps.
void Levels(Field* f, float lo, float hi);
// Smooth step from edge0 to edge1.
void SmoothStep(Field* f, float edge0, float edge1);
void Pow(Field* f, float e);
void Invert(Field* f);
void Scale(Field* f, float k, float add = 0);
// Stretches the field's values to exactly 0..1 (no change to a constant field).
void Normalize(Field* f);

// ---- filters ----

// Gaussian-like blur of `radius` texels (three box passes each way), wrapping. Keeps the sum.
Field Blur(const Field& f, float radius);
Img BlurImg(const Img& im, float radius);
// Moves each texel by (dx, dy) x amount texels, dx and dy read as -1..1 from 0..1 fields.
Field Distort(const Field& f, const Field& dx, const Field& dy, float amount);
Img DistortImg(const Img& im, const Field& dx, const Field& dy, float amount);
// Diffuse lighting of a height field: normals from central differences scaled by `strength`,
// lit from the direction (lx, ly, lz) (toward the light; +x right, +y down, +z out of the
// surface). 1 for a flat texel facing the light straight on the z axis times lz.
Field Lighting(const Field& height, float strength, float lx = -0.5f, float ly = -0.6f,
               float lz = 0.62f);
// Curvature-like cavity: the height minus its blur; positive on ridges, negative in hollows.
Field Cavity(const Field& height, float radius);

// ---- colour ----

struct RampStop {
    float at;      // 0..1
    uint32_t rgb;  // 0xRRGGBB
};
// Colours a field through a ramp of stops (sorted by `at`), alpha 1.
Img Ramp(const Field& f, std::initializer_list<RampStop> stops);
// A colour 0xRRGGBB as floats.
void Rgb(uint32_t rgb, float out[3]);
// Multiplies the colour channels by the field (1 leaves them).
void Modulate(Img* im, const Field& f, float amount = 1);
// Adds colour rgb x field x amount (a glow or highlight).
void AddColor(Img* im, const Field& f, uint32_t rgb, float amount = 1);
// Blends `top` over `base` by mask x amount per texel (alpha of the result from the base).
void Mask(Img* base, const Img& top, const Field& mask, float amount = 1);
// Per texel: base x (1 - t) + top x t, alpha too.
Img Mix(const Img& a, const Img& b, float t);
// Sets the alpha channel from the field.
void SetAlpha(Img* im, const Field& alpha);
// Adds a blurred copy of the image's bright parts (luma above `threshold`) back onto it.
void Glow(Img* im, float radius, float threshold, float strength);
// Brightness: 0.299 r + 0.587 g + 0.114 b.
Field Luma(const Img& im);
// Clamps every channel to 0..1.
void Clamp(Img* im);
// Saturation: 0 grey, 1 unchanged, above 1 stronger.
void Saturate(Img* im, float s);

// ---- animation ----

// A classic fire: heat rises from a flickering bed along the bottom row, spreading and cooling.
// `frames` frames of w x h heat (0..1) that loop: the simulation runs `warm` frames first, then
// the last frames are cross-faded into the first so frame frames-1 leads back into frame 0.
std::vector<Field> FireFrames(int w, int h, int frames, float cooling, uint32_t seed);
