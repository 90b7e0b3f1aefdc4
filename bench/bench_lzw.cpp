// bench_lzw.cpp: lzw_compress and lzw_decompress in MB/s on three 8 MB inputs: English text (the
// licence and copyright files Debian ships), a texture library body, and random bytes. The
// counter "ratio" is stream length / input length.
//
//   bench_lzw [benchmark options]     run the benchmarks
//   bench_lzw --write-inputs DIR      write the inputs as DIR/text, DIR/texture, DIR/random (for
//                                     bench/lzw_vs_compress.sh) and exit
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "lzwc.h"

namespace {

typedef std::vector<uint8_t> Bytes;
constexpr size_t kInputSize = 8u << 20;

// English text: /usr/share/common-licenses, then every package's copyright file, in name order.
Bytes TextInput() {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/usr/share/common-licenses", ec))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::vector<fs::path> copyrights;
    for (const auto& e : fs::directory_iterator("/usr/share/doc", ec))
        if (fs::is_regular_file(e.path() / "copyright"))
            copyrights.push_back(e.path() / "copyright");
    std::sort(copyrights.begin(), copyrights.end());
    files.insert(files.end(), copyrights.begin(), copyrights.end());
    Bytes text;
    while (text.size() < kInputSize && !files.empty()) {
        for (const fs::path& p : files) {
            std::ifstream in(p, std::ios::binary);
            text.insert(text.end(), std::istreambuf_iterator<char>(in),
                        std::istreambuf_iterator<char>());
            if (text.size() >= kInputSize) break;
        }
    }
    text.resize(kInputSize, ' ');
    return text;
}

// A texture library body: the 9216-byte table, then textures as a late-90s demo has them:
// 8-bit palettised 256x256 pictures (with palette) and 16-bit 5-6-5 pictures, smooth shapes with
// flat areas, a little dithering noise and hard edges.
Bytes TextureInput() {
    Bytes body(9216, 0);
    std::mt19937 rng(1998);
    int n = 0;
    while (body.size() < kInputSize) {
        const bool paletted = n % 2 == 0;
        const double fx = 0.02 + 0.01 * (n % 7), fy = 0.03 + 0.007 * (n % 5);
        if (paletted)
            for (int j = 0; j < 256; ++j) {
                body.push_back(static_cast<uint8_t>(j));
                body.push_back(static_cast<uint8_t>(j / 2 + 40));
                body.push_back(static_cast<uint8_t>(255 - j));
            }
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) {
                double v = std::sin(x * fx + n) + std::sin(y * fy) +
                           std::sin((x + y) * 0.015 * (1 + n % 3));
                if (((x / 32) + (y / 32) + n) % 5 == 0) v = 0.5;  // flat panels
                int level = static_cast<int>((v + 3) * 42) + static_cast<int>(rng() % 3) - 1;
                level = std::clamp(level, 0, 255);
                if (paletted) {
                    body.push_back(static_cast<uint8_t>(level));
                } else {
                    const unsigned r = level >> 3, g = (255 - level) >> 2,
                                   b = (level / 2 + 64) >> 3;
                    const unsigned t = (r << 11) | (g << 5) | b;
                    body.push_back(static_cast<uint8_t>(t));
                    body.push_back(static_cast<uint8_t>(t >> 8));
                }
            }
        ++n;
    }
    body.resize(kInputSize);
    return body;
}

Bytes RandomInput() {
    std::mt19937 rng(7);
    Bytes b(kInputSize);
    for (uint8_t& v : b) v = static_cast<uint8_t>(rng());
    return b;
}

const Bytes& Input(int which) {
    static const Bytes inputs[3] = {TextInput(), TextureInput(), RandomInput()};
    return inputs[which];
}

const char* const kNames[3] = {"text", "texture", "random"};

void BM_Pack(benchmark::State& state) {
    const Bytes& in = Input(static_cast<int>(state.range(0)));
    Bytes out(2 * in.size());
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::memset(out.data(), 0, out.size());  // the callers' zeroing is not the coder's work
        state.ResumeTiming();
        lzw_init(8);
        n = lzw_compress(in.data(), out.data(), static_cast<int>(in.size()));
        benchmark::DoNotOptimize(n);
    }
    state.SetLabel(std::string(kNames[state.range(0)]) +
                   (n < 0 ? " (refused: longer than the input)" : ""));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(in.size()));
    state.counters["ratio"] = n < 0 ? -1 : static_cast<double>(n) / in.size();
}

void BM_Unpack(benchmark::State& state) {
    const Bytes& in = Input(static_cast<int>(state.range(0)));
    Bytes packed(2 * in.size(), 0);
    lzw_init(8);
    const int n = lzw_compress(in.data(), packed.data(), static_cast<int>(in.size()));
    state.SetLabel(kNames[state.range(0)]);
    if (n < 0) {
        state.SkipWithError(
            "no stream: the input does not shrink (stored raw by the library writer)");
        for (auto _ : state) {
        }
        return;
    }
    Bytes out(in.size());
    for (auto _ : state) {
        lzw_init(8);
        benchmark::DoNotOptimize(
            lzw_decompress(packed.data(), n, out.data(), static_cast<int>(out.size())));
    }
    if (out != in) state.SkipWithError("round trip differs");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(in.size()));
    state.counters["ratio"] = static_cast<double>(n) / in.size();
}

BENCHMARK(BM_Pack)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Unpack)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-inputs") == 0) {
        for (int i = 0; i < 3; ++i) {
            const std::string path = std::string(argv[2]) + "/" + kNames[i];
            FILE* f = std::fopen(path.c_str(), "wb");
            if (!f || std::fwrite(Input(i).data(), 1, Input(i).size(), f) != Input(i).size()) {
                std::fprintf(stderr, "bench_lzw: cannot write %s\n", path.c_str());
                return 1;
            }
            std::fclose(f);
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
