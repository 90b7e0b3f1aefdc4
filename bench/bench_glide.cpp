// A synthetic scene through the display device this program is linked with (bench_glide: the
// Glide device; bench_glide_d3d: the same source with the Direct3D device, for comparison), and
// texture downloads when the Glide device's texture ring thrashes. Headless; run by hand:
//   build/rel/bench/bench_glide && build/rel/bench/bench_glide_d3d
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "device.h"
#include "texentry.h"
#include "win32_standin.h"
#ifdef BENCH_GLIDE
#include "glide_standin.h"
#endif

namespace {

HWND OpenDevice() {
    static HWND window = nullptr;
    if (window) return window;
    Win32StandInOptions o;
    o.headless = true;
    Win32_SetOptions(o);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "Bench";
    RegisterClassA(&wc);
    window = CreateWindowExA(0, "Bench", "Tambir demo", 0, 0, 0, 640, 480, nullptr, nullptr,
                             nullptr, nullptr);
    DeviceEntry* list = nullptr;
    if (DevEnumDevices(&list) > 0) DevSelectDevice(&list[0]);
    DevOpen(window, 640, 480, 72);
    return window;
}

TexEntry MakeTexture(std::vector<uint16_t>& texels, int w, int h, int seed) {
    texels.resize(size_t(w) * h);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = uint16_t(i * 2654435761u + seed);
    TexEntry e;
    std::memset(&e, 0, sizeof e);
    e.format = TEX_RGB565;
    e.width = int16_t(w);
    e.height = int16_t(h);
    e.size = uint32_t(texels.size() * 2);
    e.pixels = reinterpret_cast<uint8_t*>(texels.data());
    e.colorkey = -1;
    return e;
}

// 8 textures, 400 textured triangles in quads of 32 x 32 pixels over the screen, 50 sprites.
void BM_Scene(benchmark::State& state) {
    OpenDevice();
    float far = float(DevGetScreenInfo(INFO_DEPTH_FAR));
    static bool uploaded = false;
    if (!uploaded) {
        std::vector<uint16_t> texels;
        for (int i = 0; i < 8; ++i) {
            TexEntry e = MakeTexture(texels, 64, 32 << (i & 1), i);
            DevUploadTexture(&e, 0x0100 + i);
        }
        uploaded = true;
    }
    DevSetCullMode(0);
    for (auto _ : state) {
        DevClear(0, 0, 0);
        for (int q = 0; q < 200; ++q) {
            DevSetTexture(0, 0x0100 + q % 8);
            float x = float((q * 37) % 600), y = float((q * 53) % 440), z = far * 0.5f;
            DeviceVertex v[6] = {
                {x, y, z, 1, 0xFFFFFFFF, 0, 0},           {x, y + 32, z, 1, 0xFFC0C0C0, 0, 1},
                {x + 32, y + 32, z, 1, 0xFFFFFFFF, 1, 1}, {x, y, z, 1, 0xFFFFFFFF, 0, 0},
                {x + 32, y + 32, z, 1, 0xFFFFFFFF, 1, 1}, {x + 32, y, z, 1, 0x80FFFFFF, 1, 0}};
            DevDrawPrimitive(DEV_TRIANGLES, 6, v);
        }
        for (int s = 0; s < 50; ++s) {
            DevSetTexture(0, 0x0100 + s % 8);
            DeviceVertex sp = {
                float(s * 12 + 10), float(240 + (s % 7) * 20), far * 0.3f, 1, 0xFFFFFFFF, 16, 16};
            DevDrawPrimitive(DEV_SPRITE, 1, &sp);
        }
        DevFlip(0);
        DevEndScene();
    }
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Scene)->Unit(benchmark::kMillisecond);

#ifdef BENCH_GLIDE
// 48 textures of 128 KB bound in turn through a 4 MB ring: every bind evicts and downloads.
void BM_DownloadThrash(benchmark::State& state) {
    OpenDevice();
    static bool uploaded = false;
    if (!uploaded) {
        std::vector<uint16_t> texels;
        for (int i = 0; i < 48; ++i) {
            TexEntry e = MakeTexture(texels, 256, 256, i);
            DevUploadTexture(&e, 0x0300 + i);
        }
        uploaded = true;
    }
    DeviceVertex v[3] = {{0, 0, 1, 1, 0xFFFFFFFF, 0, 0},
                         {0, 8, 1, 1, 0xFFFFFFFF, 0, 1},
                         {8, 0, 1, 1, 0xFFFFFFFF, 1, 0}};
    uint64_t before = GlideStandIn_Downloads();
    int i = 0;
    for (auto _ : state) {
        DevSetTexture(0, 0x0300 + i++ % 48);
        DeviceVertex t[3] = {v[0], v[1], v[2]};
        DevDrawPrimitive(DEV_TRIANGLES, 3, t);  // samples it: the card converts the texels
    }
    state.counters["downloads/s"] =
        benchmark::Counter(double(GlideStandIn_Downloads() - before), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DownloadThrash);
#endif

}  // namespace

BENCHMARK_MAIN();
