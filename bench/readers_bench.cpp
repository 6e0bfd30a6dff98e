// The model readers on their own, from a file on disk (in the page cache):
// LWO2, LWOB and OBJ of a grid of quads and a rig of 50 curves.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "bench/bench_files.h"
#include "bench/heap.h"
#include "bench/model_files.h"
#include "standin/mesh/mesh.h"
#include "standin/readers/read_mesh.h"

namespace {

using benchmodel::Format;

const std::string &file(Format format, int64_t faces) {
    static const char *const names[] = {"lwo2", "lwob", "obj"};
    const std::string name = std::string(names[int(format)]) + "-" + std::to_string(faces);
    if (benchmodel::haveBenchFile(name))
        return benchmodel::benchFile(name, {});
    return benchmodel::benchFile(name, benchmodel::modelFile(format, {faces, 50, 4}));
}

void readModel(benchmark::State &state, Format format) {
    const int64_t faces = state.range(0);
    const std::string &path = file(format, faces);
    double peak = 0;
    for (auto _ : state) {
        benchheap::Watch watch;
        standin::Mesh mesh;
        std::string reason;
        if (!standin::readMesh(path, mesh, reason)) {
            state.SkipWithError(reason.c_str());
            return;
        }
        benchmark::DoNotOptimize(mesh);
        peak = std::max(peak, watch.mebibytes());
    }
    benchheap::report(state, double(faces + 50), 0, 0, peak);
    state.SetItemsProcessed(state.iterations() * (faces + 50));
}

void readLwo2(benchmark::State &state) { readModel(state, Format::Lwo2); }
void readLwob(benchmark::State &state) { readModel(state, Format::Lwob); }
void readObj(benchmark::State &state) { readModel(state, Format::Obj); }

#define SIZES ->Arg(10000)->Arg(100000)->Arg(1000000)->Arg(3000000)->Unit(benchmark::kMillisecond)
BENCHMARK(readLwo2) SIZES;
BENCHMARK(readLwob) SIZES;
BENCHMARK(readObj) SIZES;

} // namespace
