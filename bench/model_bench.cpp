// Collection and linking of long curves: the closed-curve index, the parent
// search and the loop check must stay near-linear in the number of points.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "bench/heap.h"
#include "module/model/model.h"
#include "module/services/services.h"

namespace {

struct Mesh {
    std::vector<PointInfo> points;
};

PointId idOf(std::size_t index) { return reinterpret_cast<PointId>((index + 1) * 16); }

const PointInfo *pointInfo(void *state, PointId id) {
    Mesh &mesh = *static_cast<Mesh *>(state);
    const std::size_t index = reinterpret_cast<std::uintptr_t>(id) / 16 - 1;
    return index < mesh.points.size() ? &mesh.points[index] : nullptr;
}

void ignore(const char *, const char *) {}

// `curves` curves of `points` points each; every curve after the first
// starts at the middle point of the one before.
void collectAndLink(benchmark::State &state) {
    const int curves = static_cast<int>(state.range(0));
    const int points = static_cast<int>(state.range(1));
    Mesh mesh;
    std::vector<std::vector<PointId>> lists(curves);
    for (int c = 0; c < curves; ++c) {
        if (c > 0)
            lists[c].push_back(lists[c - 1][points / 2]);
        while (static_cast<int>(lists[c].size()) < points) {
            const double k = static_cast<double>(mesh.points.size());
            PointInfo info{};
            info.position[0] = k;
            info.position[1] = std::sin(k * 0.01);
            info.position[2] = std::cos(k * 0.01) + c;
            mesh.points.push_back(info);
            lists[c].push_back(idOf(mesh.points.size() - 1));
        }
    }
    std::vector<PolygonInfo> polygons(curves);
    for (int c = 0; c < curves; ++c) {
        polygons[c].flags = HOST_POLY_SELECTED;
        polygons[c].numPoints = points;
        polygons[c].points = lists[c].data();
        polygons[c].surface = "Bone";
        polygons[c].type = HOST_POLY_CURVE;
    }

    MessageServices messages{ignore, ignore};
    MeshEditOp edit{};
    edit.state = &mesh;
    edit.pointInfo = pointInfo;
    spindle::host.messages = &messages;
    spindle::host.meshEdit = &edit;
    auto table = std::make_unique<spindle::CurveTable>();
    spindle::Options options;

    for (auto _ : state) {
        table->count = 0;
        for (const PolygonInfo &p : polygons)
            benchmark::DoNotOptimize(spindle::collectCurve(table.get(), &p));
        benchmark::DoNotOptimize(spindle::linkChains(*table, options));
        benchmark::DoNotOptimize(spindle::findLoop(*table));
        table->release();
    }
    state.SetItemsProcessed(state.iterations() * curves * points);
    benchheap::report(state, 0, 0, double(curves) * points, 0);
    spindle::host.messages = nullptr;
    spindle::host.meshEdit = nullptr;
}

BENCHMARK(collectAndLink)
    ->Args({1, 10000})
    ->Args({1, 100000})
    ->Args({1, 1000000})
    ->Args({10, 100000})
    ->Args({1000, 1000})
    ->Unit(benchmark::kMillisecond);

} // namespace
