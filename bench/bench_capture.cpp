// Capture costs per show frame: the picture (conversion and H.264 at the default settings) at the
// sizes people capture at, and 80 ms of sound through AAC. The encoder writes into a file under
// /tmp that is removed afterwards.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cap_encoder.h"

namespace {

std::string TempPath(const char* ext) {
    return "/tmp/bench_capture_" + std::to_string(getpid()) + ext;
}

// A picture that moves every frame (a scrolling pattern of soft bands and hard edges), so the
// encoder has real work and not a copy of the previous frame.
void Draw(std::vector<uint16_t>* px, int w, int h, int frame) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int u = x + frame * 3, v = y + frame;
            const uint16_t r = uint16_t((u / 4) & 31), g = uint16_t(((u ^ v) / 2) & 63),
                           b = uint16_t(((v * 3) / 8) & 31);
            (*px)[size_t(y) * w + x] = uint16_t(r << 11 | g << 5 | b);
        }
}

void BM_VideoFrame(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    const std::string path = TempPath(".mp4");
    CapOutput out;
    std::string error;
    if (!CapOutputOpen(&out, path, CAP_VIDEO, -1, &error) ||
        !CapOutputStart(&out, w, h, 25, 2, 44100, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    // A few distinct pictures drawn beforehand, so the timing is the capture's alone.
    std::vector<std::vector<uint16_t>> pictures(16, std::vector<uint16_t>(size_t(w) * h));
    for (int i = 0; i < 16; ++i) Draw(&pictures[size_t(i)], w, h, i);
    int frame = 0;
    for (auto _ : state) {
        if (!CapOutputVideo(&out, pictures[size_t(frame++ % 16)].data(), w * 2, 1, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    CapOutputFinish(&out, &error);  // the encoder's queued frames, outside the timing
    CapOutputClose(&out, true);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VideoFrame)
    ->Args({640, 480})
    ->Args({1280, 720})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond);

void BM_SoundOfOneFrame(benchmark::State& state) {
    const std::string path = TempPath("_sound.mp4");
    CapOutput out;
    std::string error;
    if (!CapOutputOpen(&out, path, CAP_VIDEO, -1, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    // Sound alone: a video stream is still made, but no picture is fed to it.
    if (!CapOutputStart(&out, 16, 16, 25, 2, 44100, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<int16_t> pcm(3528 * 2);
    for (size_t i = 0; i < 3528; ++i)
        pcm[2 * i] = pcm[2 * i + 1] =
            int16_t(9000 * std::sin(double(i) * 0.0627) + 3000 * std::sin(double(i) * 0.31));
    for (auto _ : state) {
        if (!CapOutputAudio(&out, pcm.data(), 3528, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    CapOutputFinish(&out, &error);
    CapOutputClose(&out, true);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SoundOfOneFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
