// bench_objects.cpp: drawing a morphing object and loading a keyframe model file.
//
// Meshes are grids of W x H vertices with one normal and one link per vertex, one material and
// one triangle strip per pair of rows (split into runs of at most 126 references), so a mesh has
// about two command entries per vertex. Figures:
//   RenderMorph/mode:1: a 5,000-vertex mesh halfway between two keyframes (blended transform and
//     morphed positions), appended to a cleared scene; ns per vertex (target: at most 6).
//   mode 0: the same exactly on a keyframe (a plain AppendMesh); mode 2: morphing meshes of
//     positions only, which times the blend loop without the render core's other appends.
//   LoadModel: 50 keyframes of 2,000 vertices; ms per load (target: under 40).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "trx_object.h"

namespace {

template <typename T>
T* Table(int n) {
    return static_cast<T*>(std::calloc(static_cast<size_t>(n), sizeof(T)));
}

Mesh GridMesh(int w, int h, float phase) {
    int refs = 0;
    for (int r = 0; r + 1 < h; ++r) refs += 2 * w + (2 * w + 125) / 126;
    Mesh m = {Table<Material>(1), 1,     Table<Vec4>(w * h),   w * h, Table<Vec4>(w * h), w * h,
              Table<Link>(w * h), w * h, Table<Command>(refs), 0};
    m.mtable[0].diffuse[0] = m.mtable[0].diffuse[1] = m.mtable[0].diffuse[2] = 0.8f;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int i = y * w + x;
            m.wtable[i] = Vec4{float(x), float(y), std::sin(0.3f * float(x) + phase), 1};
            m.ntable[i] = Vec4{0, 0, -1, 1};
            m.ltable[i] = Link{i, i};
        }
    for (int r = 0; r + 1 < h; ++r)
        for (int k = 0; k < 2 * w; k += 126) {
            const int n = 2 * w - k < 126 ? 2 * w - k : 126;
            m.ctable[m.ccount++].run = RunHeader{0, PRIM_STRIP, 0, n, 1};
            for (int j = k; j < k + n; ++j)
                m.ctable[m.ccount++].ref = VertexRef{0, (r + (j & 1)) * w + j / 2, 0, 0};
        }
    return m;
}

// bare: positions only (the other tables dropped), to time the morph loop by itself.
void AddGridKey(Object* o, int frame, int w, int h, bool bare = false) {
    Mesh m = GridMesh(w, h, 0.1f * float(frame));
    if (bare) {
        Vec4* positions = m.wtable;
        m.wtable = nullptr;
        FreeMesh(&m);
        m = Mesh{nullptr, 0, nullptr, 0, positions, w * h, nullptr, 0, nullptr, 0};
    }
    KeyInfo info = {};
    info.flags = KEY_TRANSLATE | KEY_ROTATE_Y;
    info.translation[0] = float(frame);
    info.rotation[1] = 0.01f * float(frame);
    AddKeyframe(o, &m, frame, &info);
}

void RenderMorph(benchmark::State& state) {
    const bool onKey = state.range(0) == 0, bare = state.range(0) == 2;
    Object o;
    ObjectInit(&o);
    AddAnim(&o, 0);
    AddGridKey(&o, 0, 100, 50, bare);
    AddGridKey(&o, 10, 100, 50, bare);
    SetAnimLength(&o, 10);
    SelectAnim(&o, 0, 0);
    SetFrame(&o, onKey ? 0 : 5);
    Matrix place;
    MatTranslate(&place, 0, 0, 20);
    for (auto _ : state) {
        ClearScene();
        benchmark::DoNotOptimize(RenderObject(&o, &place, 0));
    }
    state.counters["ns_per_vertex"] =
        benchmark::Counter(5000.0 * double(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    FreeObject(&o);
    FreeScene();
}
// 1: morphing, 0: on a keyframe, 2: morphing positions only.
BENCHMARK(RenderMorph)->Arg(1)->Arg(0)->Arg(2)->ArgNames({"mode"});

void LoadModelFile(benchmark::State& state) {
    const std::string path = "/tmp/bench_objects_" + std::to_string(getpid()) + ".mdl";
    Object o;
    ObjectInit(&o);
    AddAnim(&o, 0);
    for (int k = 0; k < 50; ++k) AddGridKey(&o, k, 50, 40);
    if (SaveModel(&o, path.c_str(), nullptr) != 0) state.SkipWithError("cannot write the model");
    FreeObject(&o);
    for (auto _ : state) {
        ObjectInit(&o);
        if (LoadModel(&o, path.c_str(), nullptr) != 0) state.SkipWithError("cannot load the model");
        FreeObject(&o);
    }
    std::remove(path.c_str());
}
BENCHMARK(LoadModelFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
