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
#include "synthetic_scene.h"
#include "trx.h"
#include "trx_state.h"

namespace {

Matrix view, projection;
int runCount;

void SetUpCore(bool withRuns) {
    TrxReset();
    NullDevice_Reset();
    nullDevice.open = true;
    nullDevice.width = 640;
    nullDevice.height = 480;
    nullDevice.clip[1] = 640;
    nullDevice.clip[3] = 480;
    runCount = SetUpSyntheticScene(&view, &projection, withRuns);
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
        benchmark::Counter(double(kSceneVertices) * double(state.iterations()),
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
    state.counters["ns/run"] =
        benchmark::Counter(double(runCount) * double(state.iterations()),
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
    state.counters["allocs/frame"] =
        double(TrxAllocationCount() - before) / double(state.iterations());
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
        BuildSyntheticScene(true);
        benchmark::DoNotOptimize(RenderFrame(&view, &projection, 1));
        ClearDevice();
    }
    state.counters["allocs/frame"] =
        double(TrxAllocationCount() - before) / double(state.iterations());
    TrxReset();
}
BENCHMARK(BM_BuildAndRender)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
