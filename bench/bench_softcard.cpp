// Fill rate of the software card: pixels per second (items_per_second) and triangles per second
// for 64x64-pixel and 8x8-pixel right triangles (legs of 64 or 8 pixels) spread over a 640x480
// screen, every pixel depth-tested (and passing: each triangle of a batch is nearer than the one
// before; the depth clear between batches is inside the timing, well under 1% of it).
// Modes: flat colour, Gouraud, textured nearest, bilinear, bilinear + blended; the textured ones
// are Gouraud-modulated and perspective-correct, with a 256x256 5-6-5 texture at about one texel
// per pixel. Dithering on, as the devices run. NearCut: Gouraud triangles whose third corner
// lies before the near plane (negative depth), each cut into a quad and drawn as two triangles.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "softcard.h"

namespace {

enum Mode { kFlat, kGouraud, kNearest, kBilinear, kBlended, kNearCut };

struct Scene {
    ScCard* card = nullptr;
    ScTexture* texture = nullptr;
    std::vector<ScVertex> vertices;
    int pixelsPerTriangle = 0;
};

// Pixels one triangle of the batch covers (all have the same shape on the pixel grid).
int CountPixels(const ScVertex* tri) {
    ScCard* c = ScCreate(640, 480);
    ScSetBlend(c, false);
    ScDraw(c, SC_TRIANGLES, tri, 3);
    const uint16_t* p = ScPixels(c, SC_BACK);
    int n = 0;
    for (int i = 0; i < 640 * 480; ++i) n += p[i] != 0;
    ScDestroy(c);
    return n;
}

Scene Make(Mode mode, int size, int count) {
    Scene s;
    s.card = ScCreate(640, 480);
    std::vector<uint16_t> texels(256 * 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            texels[y * 256 + x] = uint16_t((x * 37) ^ (y * 91) ^ (x << 8));
    s.texture = ScTextureCreate(256, 256);
    ScTextureLoad(s.texture, SC_FMT_RGB565, texels.data(), 0, nullptr, SC_KEY_NONE, 0);
    ScSetBlend(s.card, mode == kBlended);
    ScSetDepthFunc(s.card, SC_DEPTH_LESS);
    if (mode >= kNearest && mode <= kBlended) ScSetTexture(s.card, s.texture);
    ScFilter f = mode >= kBilinear ? SC_BILINEAR : SC_NEAREST;
    ScSetFilter(s.card, f, f);
    const uint32_t alpha = mode == kBlended ? 0x80000000u : 0xFF000000u;
    const bool flat = mode == kFlat;
    const float span = float(size) / 256;
    for (int i = 0; i < count; ++i) {
        float x = 3.3f + float((i * 97) % (640 - size - 8)),
              y = 2.7f + float((i * 61) % (480 - size - 8));
        float z = 65000.0f - float(i) * (64000.0f / float(count));
        float u = float(i % 7) / 7, v = float(i % 5) / 5;
        uint32_t c0 = alpha | (flat ? 0xC08040u : 0xFF8040u),
                 c1 = alpha | (flat ? 0xC08040u : 0x40FF80u);
        uint32_t c2 = alpha | (flat ? 0xC08040u : 0x8040FFu);
        s.vertices.push_back(ScVertex{x, y, z, 1.0f, c0, u, v});
        s.vertices.push_back(ScVertex{x + size, y, z, 0.9f, c1, u + span, v});
        const float z2 = mode == kNearCut ? -z : z;
        s.vertices.push_back(ScVertex{x, y + size, z2, 0.8f, c2, u, v + span});
    }
    s.pixelsPerTriangle = CountPixels(s.vertices.data());
    return s;
}

void Fill(benchmark::State& state, Mode mode, int size) {
    const int count = size >= 64 ? 2000 : 20000;
    Scene s = Make(mode, size, count);
    for (auto _ : state) {
        ScClearDepth(s.card, 0xFFFF);
        ScDraw(s.card, SC_TRIANGLES, s.vertices.data(), int(s.vertices.size()));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * count * s.pixelsPerTriangle);
    state.counters["Mpix/s"] =
        benchmark::Counter(double(state.iterations()) * count * s.pixelsPerTriangle / 1e6,
                           benchmark::Counter::kIsRate);
    state.counters["Mtri/s"] =
        benchmark::Counter(double(state.iterations()) * count / 1e6, benchmark::Counter::kIsRate);
    state.counters["px/tri"] = s.pixelsPerTriangle;
    ScTextureDestroy(s.texture);
    ScDestroy(s.card);
}

void Flat64(benchmark::State& s) { Fill(s, kFlat, 64); }
void Gouraud64(benchmark::State& s) { Fill(s, kGouraud, 64); }
void Nearest64(benchmark::State& s) { Fill(s, kNearest, 64); }
void Bilinear64(benchmark::State& s) { Fill(s, kBilinear, 64); }
void Blended64(benchmark::State& s) { Fill(s, kBlended, 64); }
void Flat8(benchmark::State& s) { Fill(s, kFlat, 8); }
void Gouraud8(benchmark::State& s) { Fill(s, kGouraud, 8); }
void Nearest8(benchmark::State& s) { Fill(s, kNearest, 8); }
void Bilinear8(benchmark::State& s) { Fill(s, kBilinear, 8); }
void Blended8(benchmark::State& s) { Fill(s, kBlended, 8); }
void NearCut64(benchmark::State& s) { Fill(s, kNearCut, 64); }
void NearCut8(benchmark::State& s) { Fill(s, kNearCut, 8); }

BENCHMARK(Flat64)->Unit(benchmark::kMillisecond);
BENCHMARK(Gouraud64)->Unit(benchmark::kMillisecond);
BENCHMARK(Nearest64)->Unit(benchmark::kMillisecond);
BENCHMARK(Bilinear64)->Unit(benchmark::kMillisecond);
BENCHMARK(Blended64)->Unit(benchmark::kMillisecond);
BENCHMARK(Flat8)->Unit(benchmark::kMillisecond);
BENCHMARK(Gouraud8)->Unit(benchmark::kMillisecond);
BENCHMARK(Nearest8)->Unit(benchmark::kMillisecond);
BENCHMARK(Bilinear8)->Unit(benchmark::kMillisecond);
BENCHMARK(Blended8)->Unit(benchmark::kMillisecond);
BENCHMARK(NearCut64)->Unit(benchmark::kMillisecond);
BENCHMARK(NearCut8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
