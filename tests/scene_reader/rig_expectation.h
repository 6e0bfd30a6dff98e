// What the module should write for a rig of curves, and how close a scene
// read back must place each bone and goal to it: the expectation the round
// trips check against.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "module/panel/panel.h"
#include "standin/scene_reader/rig.h"
#include "standin/scene_reader/scene_reader.h"

namespace roundtrip {

using standin::Vec3;

// One curve of a rig: its points in order, its surface, and whether its
// first point is a control point.
struct RigCurve {
    std::vector<Vec3> points;
    std::string surface;
    bool startControl = false;
};
using Rig = std::vector<RigCurve>;

inline Vec3 minus(const Vec3 &a, const Vec3 &b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline double norm(const Vec3 &v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

struct Placed {
    Vec3 base, tip;
    std::string name;
    bool active;
};
struct Expected {
    std::vector<Placed> bones; // chain bones in curve order, then goal bones
    std::vector<Vec3> goals;   // goal nulls
};

// The bones and goal nulls the module should write for `rig` with the
// switches of `o`, placed in model space.
Expected expectedScene(const Rig &rig, const spindle::Options &o);

inline constexpr double kPi = 3.141592653589793;

// A bone's way back to its chain's root, as far as the tolerances need it.
struct Path {
    double depth = 0; // bones from the root, the bone itself included
    double reach = 0; // the sum of |r_j| past the root
    double root = 0;  // |r_1|
};

// The path of item `bone` of `scene`.
Path pathOf(const standin::Scene &scene, int bone);
// How far a point `length` along a bone with this path may lie from the
// curve's (see the derivation in rig_expectation.cpp).
double tolerance(const Path &p, double length);
// How far the goal null `null` may lie from its goal.
double goalTolerance(const standin::Scene &scene, const standin::RigPlacement &placed, size_t null);

} // namespace roundtrip
