// Heap use of the benchmarks: every operator new and delete of the process
// is counted, so a benchmark can report the most its code had allocated at
// once (memory the C library's malloc hands out directly is not counted).
#pragma once

#include <cstddef>

namespace benchheap {

std::size_t current(); // bytes allocated now
std::size_t peak();    // most bytes allocated at once since the last resetPeak
void resetPeak();      // peak = current

// The peak over a scope, above what was allocated when it began.
struct Watch {
    std::size_t base;
    Watch() : base(current()) { resetPeak(); }
    double mebibytes() const { return double(peak() - base) / (1024.0 * 1024.0); }
};

} // namespace benchheap

#include <benchmark/benchmark.h>

namespace benchheap {

// The counters every benchmark reports (the script's table reads them; the
// CSV output wants the same ones everywhere): zero where they do not apply.
inline void report(benchmark::State &state, double polygons, double bones, double points, double peakMiB) {
    state.counters["polygons"] = polygons;
    state.counters["bones"] = bones;
    state.counters["points"] = points;
    state.counters["peak_MiB"] = peakMiB;
}

} // namespace benchheap
