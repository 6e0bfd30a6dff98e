// Whole runs of the real module through the stand-in: the panel, the scan,
// linking, the parent-relative transform and the scene file, on models read
// beforehand (the readers have benchmarks of their own).
#include <benchmark/benchmark.h>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/heap.h"
#include "bench/model_files.h"
#include "bench/rigs.h"
#include "standin/modeler/modeler.h"
#include "standin/readers/read_mesh.h"

namespace {

// A fan of `curves` curves of `points` points each, all starting at one hub
// point that ends a short root curve, so every curve is a child chain.
benchmodel::Rig fan(int curves, int points) {
    benchmodel::Rig rig;
    rig.points = {{0, 0, 0}, {0, 1, 0}};
    rig.curves.push_back({0, 1});
    for (int c = 0; c < curves; ++c) {
        std::vector<uint32_t> limb{1};
        for (int p = 1; p < points; ++p) {
            limb.push_back(static_cast<uint32_t>(rig.points.size()));
            rig.points.push_back({0.1 * c, 1.0 + 0.01 * p * (c % 3), 0.05 * p});
        }
        rig.curves.push_back(std::move(limb));
    }
    return rig;
}

void runOn(benchmark::State &state, const std::string &bytes) {
    standin::Mesh mesh;
    std::string reason;
    if (!standin::readMeshBytes(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), mesh, reason)) {
        state.SkipWithError(reason.c_str());
        return;
    }
    standin::Module module;
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
    double peak = 0;
    for (auto _ : state) {
        benchheap::Watch watch;
        benchmark::DoNotOptimize(standin::runCommand(module, config).result);
        peak = std::max(peak, watch.mebibytes());
    }
    benchheap::report(state, 0, 0, 0, peak);
    standin::unloadModule(module);
    std::remove(scene.c_str());
    std::remove(folder);
}

void wholeRun(benchmark::State &state) {
    const int curves = static_cast<int>(state.range(0));
    const int points = static_cast<int>(state.range(1));
    runOn(state, benchmodel::rigLwo2(fan(curves, points), static_cast<int>(state.range(2))));
    state.counters["bones"] = curves * (points - 1) + 1;
}
BENCHMARK(wholeRun)
    ->Args({10, 10, 0})
    ->Args({100, 10, 0})
    ->Args({999, 4, 0})
    ->Args({4, 1000, 0})
    ->Args({999, 4, 100000})
    ->Unit(benchmark::kMillisecond);

// The rigs at the limits, whole: 1000 curves, 4096 bones in all, one chain
// of 4095 bones, and one curve of 1,000,000 points that the bone limit
// refuses after the scan and linking.
void wholeRig(benchmark::State &state) {
    static const char *const names[] = {"1000 curves", "4096 bones", "chain of 4095", "curve of 1000000 points"};
    const int64_t n = state.range(0);
    const benchmodel::Rig rig = n == 0 ? benchmodel::thousandCurves()
        : n == 1                       ? benchmodel::fullScene()
        : n == 2                       ? benchmodel::deepChain()
                                       : benchmodel::curveOfPoints(1000000);
    runOn(state, benchmodel::rigObj(rig));
    state.SetLabel(names[n]);
    if (n == 3) {
        state.counters["points"] = double(rig.points.size());
    } else {
        double bones = double(rig.curves.size()); // one goal bone per curve
        for (const auto &curve : rig.curves)
            bones += double(curve.size() - 1);
        state.counters["bones"] = bones;
    }
}
BENCHMARK(wholeRig)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

// A grid of quads with a small rig (50 curves, 150 chain bones): the scan
// passes over every face.
void wholeFaces(benchmark::State &state) {
    const int64_t faces = state.range(0);
    runOn(state, benchmodel::modelFile(benchmodel::Format::Lwo2, {faces, 50, 4}));
    state.counters["polygons"] = double(faces + 50);
}
BENCHMARK(wholeFaces)->Arg(10000)->Arg(100000)->Arg(1000000)->Arg(3000000)->Unit(benchmark::kMillisecond);

} // namespace
