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
    HWND window = CreateWindowExA(0, "BenchD3d", "Tambir demo", 0, 0, 0, 640, 480, nullptr,
                                  nullptr, nullptr, nullptr);
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

void BuildTemple() {
    ClearScene();
    SetInputTransform(nullptr);
    std::mt19937 rng(7);
    Material stone{};
    for (int k = 0; k < 3; ++k) {
        stone.diffuse[k] = 0.8f;
        stone.emissive[k] = 0.05f;
    }
    int mat = AddMaterial(&stone);
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            Vec4 p = {-10.0f + 0.2f * float(j), 1.0f, 2.0f + 0.2f * float(i), 1.0f};
            Vec4 n = {0, -1, 0, 1};
            AddLink(AddVertex(&p), AddNormal(&n));
        }
    for (int c = 0; c < 20; ++c) {
        float cx = (c % 2 ? -4.0f : 4.0f), cz = 3.0f + float(c / 2) * 2.0f;
        for (int ring = 0; ring < 25; ++ring)
            for (int s = 0; s < 20; ++s) {
                float a = float(s) * 0.31415927f;
                Vec4 n = {std::cos(a), 0, std::sin(a), 1};
                Vec4 p = {cx + 0.4f * n.x, 1.0f - 0.16f * float(ring), cz + 0.4f * n.z, 1};
                AddLink(AddVertex(&p), AddNormal(&n));
            }
    }
    std::uniform_int_distribution<int> length(3, 8), kind(2, 4), texture(1, 40);
    int triangles = 0, next = 0;
    while (triangles < 10000) {
        int count = length(rng);
        BeginRun(count, uint32_t(kind(rng)), texture(rng));
        for (int k = 0; k < count; ++k) AddVertexRef((next + k) % 20000, mat, 0.1f * float(k), 0.5f);
        next = (next + count - 1) % 20000;
        triangles += count - 2;
    }
}

void SetUpScene() {
    TrxReset();
    SetAmbient(0.5f);
    SetLightCount(10);
    SetViewport(320, 240, 300, 300, 0);
    MatPerspective(&projection, 0.01f, 20.0f, 0.00016666666f);
    MatTranslate(&view, 0, 0, 0);
    for (int i = 0; i < 10; ++i) {
        Light l{};
        l.position = {-8.0f + 1.8f * float(i), -0.5f, 3.0f + 1.7f * float(i), 1};
        l.direction = {0, 1, 0, 1};
        l.color[0] = 1;
        l.color[1] = 0.3f;
        l.color[2] = 0.2f;
        l.range = 4.0f;
        l.coneOuter = 0.5f;
        l.coneInner = 0.809f;
        l.flags = i < 6 ? (LIGHT_ENABLED | LIGHT_POINT) : (LIGHT_ENABLED | LIGHT_SPOT);
        SetLight(i, &l);
    }
    BuildTemple();
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
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
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
            DeviceVertex v[6] = {{x, y, z, 1, 0xFFFFFFFF, 0, 0},          {x, y + 32, z, 1, 0xFFC0C0C0, 0, 1},
                                 {x + 32, y + 32, z, 1, 0xFFFFFFFF, 1, 1}, {x, y, z, 1, 0xFFFFFFFF, 0, 0},
                                 {x + 32, y + 32, z, 1, 0xFFFFFFFF, 1, 1}, {x + 32, y, z, 1, 0x80FFFFFF, 1, 0}};
            DevDrawPrimitive(DEV_TRIANGLES, 6, v);
        }
        for (int s = 0; s < 50; ++s) {
            DevSetTexture(0, 1 + s % 40);
            DeviceVertex sp = {float(s * 12 + 10), float(240 + (s % 7) * 20), 0.3f, 1, 0xFFFFFFFF, 16, 16};
            DevDrawPrimitive(DEV_SPRITE, 1, &sp);
        }
        DevFlip(0);
        DevEndScene();
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DeviceQuads)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
