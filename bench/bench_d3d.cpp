// bench_d3d.cpp: whole 640 x 480 frames of a synthetic scene through the Direct3D device, headless.
//
// Scene (the render core's benchmark scene): a floor grid and twenty columns, 20,000 vertices,
// 10,000 triangles in strips, fans and polygons of 3 to 8 vertices, forty 64 x 64 textures, ten
// lights. A frame is DevClear, RenderFrame (transform, light, cull, sort, draw), DevFlip.
// Figures: frames per second, and the share of the card alone (DevClear + the draws replayed).
//   build/d3d-rel/bench/bench_d3d   (BENCH_FRAMES=DIR saves the second frame as a PNG file there)
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "ddraw_standin.h"
#include "device.h"
#include "synthetic_scene.h"
#include "texentry.h"
#include "trx.h"
#include "trx_state.h"
#include "win32_standin.h"

namespace {

Matrix view, projection;

void OpenDevice() {
    static bool open = false;
    if (open) return;
    Win32StandInOptions o;
    o.headless = true;
    if (const char* dir = std::getenv("BENCH_FRAMES")) {  // look at the frames: BENCH_FRAMES=DIR
        o.framesDir = std::string(dir);
        o.framesAt = std::string("2");
    }
    Win32_SetOptions(o);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "BenchD3d";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "BenchD3d", "Tambir demo", 0, 0, 0, 640, 480, nullptr, nullptr,
                                  nullptr, nullptr);
    DeviceEntry* list = nullptr;
    if (DevEnumDevices(&list) > 0) DevSelectDevice(&list[0]);
    DevOpen(window, 640, 480, 0);
    std::vector<uint16_t> texels(64 * 64);
    for (int t = 1; t <= 40; ++t) {
        for (size_t i = 0; i < texels.size(); ++i) texels[i] = uint16_t(i * 2654435761u + t * 977);
        TexEntry e;
        std::memset(&e, 0, sizeof e);
        e.format = TEX_RGB565;
        e.width = e.height = 64;
        e.size = uint32_t(texels.size() * 2);
        e.pixels = reinterpret_cast<uint8_t*>(texels.data());
        e.colorkey = -1;
        DevUploadTexture(&e, t);
    }
    open = true;
}

void SetUpScene() {
    TrxReset();
    SetUpSyntheticScene(&view, &projection, true);
}

// Whole frames as the show draws them (sorted runs).
void BM_Frame(benchmark::State& state) {
    OpenDevice();
    SetUpScene();
    DevSetCullMode(0);
    DDrawStandIn_Stats() = DDrawStandInStats{};
    for (auto _ : state) {
        DevClear(0, 0, 0);
        benchmark::DoNotOptimize(RenderFrame(&view, &projection, 1));
        DevFlip(0);
        DevEndScene();
    }
    state.counters["draws/frame"] = double(DDrawStandIn_Stats().draws) / double(state.iterations());
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    TrxReset();
}
BENCHMARK(BM_Frame)->Unit(benchmark::kMillisecond);

// The device alone: clear, 200 textured 32 x 32 quads and 50 sprites, flip.
void BM_DeviceQuads(benchmark::State& state) {
    OpenDevice();
    DevSetCullMode(0);
    for (auto _ : state) {
        DevClear(0, 0, 0);
        for (int q = 0; q < 200; ++q) {
            DevSetTexture(0, 1 + q % 40);
            float x = float((q * 37) % 600), y = float((q * 53) % 440), z = 0.5f;
            DeviceVertex v[6] = {
                {x, y, z, 1, 0xFFFFFFFF, 0, 0},           {x, y + 32, z, 1, 0xFFC0C0C0, 0, 1},
                {x + 32, y + 32, z, 1, 0xFFFFFFFF, 1, 1}, {x, y, z, 1, 0xFFFFFFFF, 0, 0},
                {x + 32, y + 32, z, 1, 0xFFFFFFFF, 1, 1}, {x + 32, y, z, 1, 0x80FFFFFF, 1, 0}};
            DevDrawPrimitive(DEV_TRIANGLES, 6, v);
        }
        for (int s = 0; s < 50; ++s) {
            DevSetTexture(0, 1 + s % 40);
            DeviceVertex sp = {
                float(s * 12 + 10), float(240 + (s % 7) * 20), 0.3f, 1, 0xFFFFFFFF, 16, 16};
            DevDrawPrimitive(DEV_SPRITE, 1, &sp);
        }
        DevFlip(0);
        DevEndScene();
    }
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DeviceQuads)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
