// The stand-in's mesh edit on its own: editBegin, a polygon scan whose
// callback only looks at every polygon's points, and done.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "bench/heap.h"
#include "bench/model_files.h"
#include "standin/mesh/mesh.h"
#include "standin/modeler/mesh_edit.h"
#include "standin/readers/read_mesh.h"

namespace {

struct Count {
    int64_t polygons = 0;
    int64_t points = 0;
    uintptr_t ids = 0;
};

int32_t countPolygon(void *userData, const PolygonInfo *polygon) {
    Count &count = *static_cast<Count *>(userData);
    ++count.polygons;
    count.points += polygon->numPoints;
    for (int32_t i = 0; i < polygon->numPoints; ++i)
        count.ids ^= reinterpret_cast<uintptr_t>(polygon->points[i]);
    return 0;
}

void scanMesh(benchmark::State &state) {
    const int64_t faces = state.range(0);
    const std::string bytes = benchmodel::modelFile(benchmodel::Format::Lwo2, {faces, 50, 4});
    standin::Mesh mesh;
    std::string reason;
    if (!standin::readMeshBytes(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), mesh, reason)) {
        state.SkipWithError(reason.c_str());
        return;
    }
    standin::Transcript transcript;
    transcript.keep = false;
    standin::HostConfig config;
    config.mesh = &mesh;
    standin::MeshEditSession session;
    session.config = &config;
    session.transcript = &transcript;
    CommandContext *context = standin::commandContext(session);
    Count count;
    double peak = 0;
    for (auto _ : state) {
        benchheap::Watch watch;
        MeshEditOp *edit = context->editBegin(0, 0, 1);
        edit->polyScan(edit->state, countPolygon, &count, HOST_LAYERS_FOREGROUND);
        edit->done(edit->state, 0, 0);
        peak = std::max(peak, watch.mebibytes());
    }
    benchmark::DoNotOptimize(count);
    benchheap::report(state, double(faces + 50), 0, 0, peak);
    state.SetItemsProcessed(state.iterations() * (faces + 50));
}
BENCHMARK(scanMesh)->Arg(10000)->Arg(100000)->Arg(1000000)->Arg(3000000)->Unit(benchmark::kMillisecond);

} // namespace
