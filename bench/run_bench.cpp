// Whole runs of the real module through the stand-in: scan, linking, the
// parent-relative transform and the scene file, on models of growing size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "standin/modeler.h"

namespace {

// A fan of `curves` curves of `points` points each, all starting at one hub
// point that ends a short root curve, so every curve is a child chain; the
// fan's layer comes after `emptyLayers` layers without points.
standin::Mesh fan(int curves, int points, int emptyLayers) {
    standin::Mesh mesh;
    mesh.surfaces = {"Root", "Limb"};
    standin::MeshLayer layer;
    layer.points.push_back({0, 0, 0});
    layer.points.push_back({0, 1, 0});
    standin::MeshPolygon root;
    root.type = HOST_POLY_CURVE;
    root.points = {0, 1};
    layer.polygons.push_back(root);
    for (int c = 0; c < curves; ++c) {
        standin::MeshPolygon limb;
        limb.type = HOST_POLY_CURVE;
        limb.surface = 1;
        limb.points.push_back(1);
        for (int p = 1; p < points; ++p) {
            limb.points.push_back(static_cast<uint32_t>(layer.points.size()));
            layer.points.push_back({0.1 * c, 1.0 + 0.01 * p * (c % 3), 0.05 * p});
        }
        layer.polygons.push_back(limb);
    }
    mesh.layers.resize(static_cast<size_t>(emptyLayers));
    mesh.layers.push_back(layer);
    return mesh;
}

void wholeRun(benchmark::State &state) {
    const int curves = static_cast<int>(state.range(0));
    const int points = static_cast<int>(state.range(1));
    const standin::Mesh mesh = fan(curves, points, static_cast<int>(state.range(2)));
    standin::Module module;
    std::string reason;
    if (!standin::loadModule(SPINDLE_MODULE_PATH, module, reason)) {
        state.SkipWithError(reason.c_str());
        return;
    }
    char folder[] = "/tmp/spindle-bench-XXXXXX";
    if (!mkdtemp(folder)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string scene = std::string(folder) + "/bench.lws";
    standin::HostConfig config;
    config.echoMessages = false;
    config.keepTranscript = false;
    config.mesh = &mesh;
    config.edits = {{"Scene File ", scene}};
    for (auto _ : state)
        benchmark::DoNotOptimize(standin::runCommand(module, config).result);
    state.counters["bones"] = curves * (points - 1) + 1;
    standin::unloadModule(module);
    std::remove(scene.c_str());
    std::remove(folder);
}
BENCHMARK(wholeRun)
    ->Args({10, 10, 0})
    ->Args({100, 10, 0})
    ->Args({999, 4, 0})
    ->Args({4, 1000, 0})
    ->Args({999, 4, 100000})
    ->Unit(benchmark::kMillisecond);

} // namespace
