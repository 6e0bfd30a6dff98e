// The module's stages on their own, on the rigs at its limits: collection
// (the scan callback with the closed-curve test), linking with the loop
// check, the parent frames, and writing the scene file.
#include <benchmark/benchmark.h>

#include <algorithm>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "bench/heap.h"
#include "bench/rigs.h"
#include "module/model/model.h"
#include "module/panel/panel.h"
#include "module/scene/scene.h"
#include "module/services/services.h"
#include "support/fake_host.h"

namespace {

using benchmodel::Rig;

// Rig number `n` of the benchmarks' arguments.
const Rig &rigNumbered(int64_t n) {
    static const Rig rigs[] = {benchmodel::thousandCurves(), benchmodel::fullScene(), benchmodel::deepChain()};
    return rigs[n];
}
const char *rigName(int64_t n) {
    static const char *const names[] = {"1000 curves", "4096 bones", "chain of 4095"};
    return names[n];
}

// The rig's points and curves in the fake host the model's tests use, its
// messages dropped.
struct Run {
    testsupport::FakeHost host;
    std::vector<PolygonInfo> polygons;
    std::unique_ptr<spindle::CurveTable> table = std::make_unique<spindle::CurveTable>();
    std::unique_ptr<spindle::GoalBoneList> goals = std::make_unique<spindle::GoalBoneList>();
    int32_t bones = 0;

    explicit Run(const Rig &rig) {
        host.keepMessages = false;
        std::vector<PointId> ids;
        ids.reserve(rig.points.size());
        for (const auto &p : rig.points)
            ids.push_back(host.point(p[0], p[1], p[2]));
        for (const auto &curve : rig.curves) {
            std::vector<PointId> points;
            points.reserve(curve.size());
            for (uint32_t i : curve)
                points.push_back(ids[i]);
            polygons.push_back(host.curve(points));
        }
        spindle::options = spindle::Options{};
    }
    ~Run() { table->release(); }
    bool collect() {
        table->release();
        table->count = 0;
        for (const PolygonInfo &p : polygons)
            if (spindle::collectCurve(table.get(), &p) != 0)
                return false;
        return true;
    }
    bool link() {
        bones = spindle::linkChains(*table, spindle::options);
        return !spindle::findLoop(*table);
    }
    void frames() { spindle::finishChains(*table, spindle::options, *goals); }
    int32_t totalBones() const { return bones + spindle::countGoalBones(*table, spindle::options); }
};

void finish(benchmark::State &state, const Run &run, double peak) {
    state.SetLabel(rigName(state.range(0)));
    benchheap::report(state, 0, run.totalBones(), 0, peak);
}

void collection(benchmark::State &state) {
    Run run(rigNumbered(state.range(0)));
    double peak = 0;
    for (auto _ : state) {
        benchheap::Watch watch;
        if (!run.collect())
            state.SkipWithError("collection failed");
        peak = std::max(peak, watch.mebibytes());
    }
    run.link();
    finish(state, run, peak);
}

void linking(benchmark::State &state) {
    Run run(rigNumbered(state.range(0)));
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        run.collect();
        state.ResumeTiming();
        benchheap::Watch watch;
        if (!run.link())
            state.SkipWithError("loop");
        peak = std::max(peak, watch.mebibytes());
    }
    finish(state, run, peak);
}

void parentFrames(benchmark::State &state) {
    Run run(rigNumbered(state.range(0)));
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        run.collect();
        run.link();
        state.ResumeTiming();
        benchheap::Watch watch;
        run.frames();
        peak = std::max(peak, watch.mebibytes());
    }
    finish(state, run, peak);
}

void sceneWriting(benchmark::State &state) {
    Run run(rigNumbered(state.range(0)));
    run.collect();
    run.link();
    run.frames();
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("spindle-bench-scene-" + std::to_string(std::rand()) + ".lws");
    std::snprintf(spindle::sceneFilePath, spindle::kPathSize, "%s", path.string().c_str());
    double peak = 0;
    for (auto _ : state) {
        benchheap::Watch watch;
        if (spindle::writeScene(*run.table, *run.goals, spindle::options) != spindle::SceneResult::Written)
            state.SkipWithError("scene not written");
        peak = std::max(peak, watch.mebibytes());
    }
    std::filesystem::remove(path);
    spindle::sceneFilePath[0] = '\0';
    finish(state, run, peak);
}

// One whole conversion in the module, scan callback to scene file, for the
// largest scene (the 30 ms mark).
void endToEnd(benchmark::State &state) {
    Run run(rigNumbered(state.range(0)));
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("spindle-bench-scene-" + std::to_string(std::rand()) + ".lws");
    std::snprintf(spindle::sceneFilePath, spindle::kPathSize, "%s", path.string().c_str());
    double peak = 0;
    for (auto _ : state) {
        benchheap::Watch watch;
        run.collect();
        run.link();
        run.frames();
        spindle::writeScene(*run.table, *run.goals, spindle::options);
        peak = std::max(peak, watch.mebibytes());
    }
    std::filesystem::remove(path);
    spindle::sceneFilePath[0] = '\0';
    finish(state, run, peak);
}

#define RIGS ->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)
BENCHMARK(collection) RIGS;
BENCHMARK(linking) RIGS;
BENCHMARK(parentFrames) RIGS;
BENCHMARK(sceneWriting) RIGS;
BENCHMARK(endToEnd) RIGS;

// The parent frames of one chain as it gets deeper: the recursion walks
// every bone's whole ancestry, so this one stage grows with the square of
// the depth.
void chainFrames(benchmark::State &state) {
    static int points;
    points = int(state.range(0)) + 1;
    Run run(benchmodel::chains(1, 1, [](int) { return points; }));
    for (auto _ : state) {
        state.PauseTiming();
        run.collect();
        run.link();
        state.ResumeTiming();
        run.frames();
    }
    benchheap::report(state, 0, run.totalBones(), 0, 0);
}
BENCHMARK(chainFrames)->Arg(511)->Arg(1023)->Arg(2047)->Arg(4095)->Unit(benchmark::kMillisecond);

// Collection and linking of one curve of many points: over the bone limit,
// so the run stops after linking, but the scan and the closed-curve test
// must stay linear.
void longCurve(benchmark::State &state) {
    Run run(benchmodel::curveOfPoints(int(state.range(0))));
    double peak = 0;
    for (auto _ : state) {
        benchheap::Watch watch;
        run.collect();
        run.link();
        peak = std::max(peak, watch.mebibytes());
    }
    benchheap::report(state, 0, 0, double(state.range(0)), peak);
}
BENCHMARK(longCurve)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
