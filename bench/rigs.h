// Rigs at the module's limits, as points and curves, for the stage and
// whole-run benchmarks: the same rig can be handed to the module's stages
// directly or written as a model file for the stand-in to read.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/model_files.h"

namespace benchmodel {

struct Rig {
    std::vector<std::array<double, 3>> points;
    std::vector<std::vector<uint32_t>> curves; // point indices
};

// `chains` chains of `curvesPerChain` curves, each curve starting at the last
// point of the one before; curve k of the whole rig has `pointsOf(k)` points.
Rig chains(int chains, int curvesPerChain, int (*pointsOf)(int curve));

// The rigs at the limits.
Rig thousandCurves();     // 1000 curves of 3 bones in chains of 10: 3000 chain bones, 1000 goal bones
Rig fullScene();          // 1000 curves in chains of 10, 4096 bones in all with the goal bones
Rig deepChain();          // one curve of 4096 points: a chain of 4095 bones and its goal bone
Rig curveOfPoints(int n); // one curve of n points (over the bone limit for large n)

// The rig as an OBJ file (coordinates written exactly), or as an LWO2 file
// with `emptyLayers` layers without points before the rig's layer
// (coordinates rounded to floats; curves of at most 16383 points).
std::string rigObj(const Rig &rig);
std::string rigLwo2(const Rig &rig, int emptyLayers);

} // namespace benchmodel
