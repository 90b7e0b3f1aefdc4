// bench_core.cpp: the render core on a temple-like scene through the null device.
//
// Scene: 20,000 vertices (a floor grid and twenty columns), one link per vertex, 10,000
// triangles in strips, fans and polygons of 3 to 8 vertices, and 10 slot lights (six point, four
// spot). Figures: ns per vertex for transform + classify, ns per link-light pair for lighting,
// ns per run for the depth sort, and the whole RenderFrame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "dev_null.h"
#include "trx.h"
#include "trx_state.h"

namespace {

const int kVertices = 20000, kTriangles = 10000;
Matrix view, projection;
int runCount;

void BuildTemple(bool withRuns) {
    ClearScene();
    SetInputTransform(nullptr);
    std::mt19937 rng(7);
    Material stone{};
    for (int k = 0; k < 3; ++k) {
        stone.diffuse[k] = 0.8f;
        stone.emissive[k] = 0.05f;
    }
    int mat = AddMaterial(&stone);
    // Floor: 100 x 100 grid, y = 1 (below the eye), z from 2 to 22.
    for (int i = 0; i < 100; ++i)
        for (int j = 0; j < 100; ++j) {
            Vec4 p = {-10.0f + 0.2f * float(j), 1.0f, 2.0f + 0.2f * float(i), 1.0f};
            Vec4 n = {0, -1, 0, 1};
            AddLink(AddVertex(&p), AddNormal(&n));
        }
    // Twenty columns of 25 rings of 20 vertices.
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
    runCount = 0;
    if (!withRuns) return;
    std::uniform_int_distribution<int> length(3, 8), kind(2, 4), texture(1, 40);
    int triangles = 0, next = 0;
    while (triangles < kTriangles) {
        int count = length(rng);
        int type = kind(rng);
        BeginRun(count, uint32_t(type), texture(rng));
        for (int k = 0; k < count; ++k) AddVertexRef((next + k) % kVertices, mat, 0.1f * float(k), 0.5f);
        next = (next + count - 1) % kVertices;
        triangles += count - 2;
        ++runCount;
    }
}

void SetUpCore(bool withRuns) {
    TrxReset();
    NullDevice_Reset();
    nullDevice.open = true;
    nullDevice.width = 640;
    nullDevice.height = 480;
    nullDevice.clip[1] = 640;
    nullDevice.clip[3] = 480;
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
    BuildTemple(withRuns);
}

void ClearDevice() {
    nullDevice.calls.clear();
    nullDevice.vertices.clear();
}

// Transform + classify: a frame of vertices only, no lights.
void BM_TransformClassify(benchmark::State& state) {
    SetUpCore(false);
    SetLightCount(0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RenderFrame(&view, &projection, 0));
        ClearDevice();
    }
    state.counters["ns/vertex"] =
        benchmark::Counter(double(kVertices) * double(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    TrxReset();
}
BENCHMARK(BM_TransformClassify);

// Lighting: every link lit against the frame's 10 lights, with the scene's light range (4) and
// with a range that reaches every vertex (100: no pair is rejected by distance).
void BM_LightLinks(benchmark::State& state) {
    SetUpCore(false);
    for (int i = 0; i < 10; ++i) {
        Light l;
        GetLight(i, &l);
        l.range = float(state.range(0));
        SetLight(i, &l);
    }
    RenderFrame(&view, &projection, 0);
    const int links = trx.wlcount;
    for (auto _ : state) {
        for (int i = 0; i < links; ++i) LightLink(i);
        benchmark::ClobberMemory();
    }
    state.counters["ns/link-light"] =
        benchmark::Counter(double(links) * double(trx.lightCount) * double(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    TrxReset();
}
BENCHMARK(BM_LightLinks)->Arg(4)->Arg(100);

// Depth sort of the frame's runs.
void BM_DepthSort(benchmark::State& state) {
    SetUpCore(true);
    RenderFrame(&view, &projection, 1);
    ClearDevice();
    bool complete;
    for (auto _ : state) benchmark::DoNotOptimize(TrxSortRuns(&complete));
    state.counters["runs"] = runCount;
    state.counters["ns/run"] = benchmark::Counter(double(runCount) * double(state.iterations()),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    TrxReset();
}
BENCHMARK(BM_DepthSort);

// The whole frame, unsorted (0) and sorted (1), with the core's allocations per frame.
void BM_RenderFrame(benchmark::State& state) {
    SetUpCore(true);
    const int flags = int(state.range(0));
    RenderFrame(&view, &projection, flags);
    ClearDevice();
    long before = TrxAllocationCount();
    int draws = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(RenderFrame(&view, &projection, flags));
        draws = NullDevice_Count(NULL_DRAW);
        ClearDevice();
    }
    state.counters["draws"] = draws;
    state.counters["runs"] = runCount;
    state.counters["allocs/frame"] = double(TrxAllocationCount() - before) / double(state.iterations());
    TrxReset();
}
BENCHMARK(BM_RenderFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A frame as the show makes it: clear, rebuild the scene, render sorted.
void BM_BuildAndRender(benchmark::State& state) {
    SetUpCore(true);
    RenderFrame(&view, &projection, 1);  // the first frame sizes the buffers
    ClearDevice();
    long before = TrxAllocationCount();
    for (auto _ : state) {
        BuildTemple(true);
        benchmark::DoNotOptimize(RenderFrame(&view, &projection, 1));
        ClearDevice();
    }
    state.counters["allocs/frame"] = double(TrxAllocationCount() - before) / double(state.iterations());
    TrxReset();
}
BENCHMARK(BM_BuildAndRender)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
