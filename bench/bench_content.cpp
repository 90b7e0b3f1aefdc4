// bench_content.cpp: the content builder's operators on 256x256 images (texels per second), the
// whole texture library (demo.tex written from the catalogue), the modelling operators and the
// six model files, so the builder stays fast.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "image.h"
#include "mesh_ops.h"
#include "models.h"
#include "show.h"
#include "texconv.h"

namespace {

constexpr int kSide = 256;

void BM_GradientNoise(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(
            GradientNoise(kSide, kSide, 4, static_cast<int>(state.range(0)), 0.5f, 1));
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_GradientNoise)->Arg(1)->Arg(5);

void BM_CellNoise(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(CellNoise(kSide, kSide, 8, CELL_EDGE, 1));
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_CellNoise);

void BM_BlurImg(benchmark::State& state) {
    const Img im = Ramp(GradientNoise(kSide, kSide, 4, 3, 0.5f, 2), {{0, 0x000000}, {1, 0xFFFFFF}});
    for (auto _ : state) benchmark::DoNotOptimize(BlurImg(im, static_cast<float>(state.range(0))));
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_BlurImg)->Arg(2)->Arg(16);

void BM_Convert(benchmark::State& state) {
    const Img im = Ramp(GradientNoise(kSide, kSide, 4, 3, 0.5f, 3),
                        {{0, 0x102030}, {0.5f, 0x806040}, {1, 0xF0E0C0}});
    TexConvert how;
    how.format = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TexEntry e;
        ImageToTexture(im, how, &e);
        std::free(e.pixels);
        std::free(e.palette);
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_Convert)->Arg(TEX_RGB565)->Arg(TEX_P8);

void BM_WholeTextureLibrary(benchmark::State& state) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "bench_content_demo.tex").string();
    for (auto _ : state) {
        const std::string failed = WriteDemoTex(path, FontsIn(TAMBIR_FONT_DIR));
        if (!failed.empty()) state.SkipWithError(failed.c_str());
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_WholeTextureLibrary)->Unit(benchmark::kMillisecond);

// Crease-angle normals over a lathe of 64 x 64 cells (vertices per second).
void BM_SmoothNormals(benchmark::State& state) {
    std::vector<float> r, z;
    for (int k = 0; k <= 64; ++k)
        r.push_back(10 + 3 * std::sin(0.3f * static_cast<float>(k))),
            z.push_back(static_cast<float>(k));
    const Shape lathe = Lathe(r, z, 64, 1, 0, 1, 1);
    for (auto _ : state) {
        Shape s = lathe;
        SmoothNormals(&s, 50);
        benchmark::DoNotOptimize(s.patches[0].verts[0].n);
    }
    state.SetItemsProcessed(state.iterations() * VertexCount(lathe));
}
BENCHMARK(BM_SmoothNormals);

void BM_AllModels(benchmark::State& state) {
    const std::string dir =
        (std::filesystem::temp_directory_path() / "bench_content_models").string();
    std::filesystem::create_directories(dir);
    for (auto _ : state) {
        const std::string failed = WriteModels(dir);
        if (!failed.empty()) state.SkipWithError(failed.c_str());
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_AllModels)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
