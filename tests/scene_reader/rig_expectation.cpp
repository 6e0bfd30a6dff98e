// What the module should write for a rig, and the tolerances of a round
// trip (see rig_expectation.h).
#include "scene_reader/rig_expectation.h"

#include <gtest/gtest.h>

namespace roundtrip {

using standin::ItemKind;
using standin::Scene;

Expected expectedScene(const Rig &rig, const spindle::Options &o) {
    const bool goals = o.createGoalObject != 0;
    const bool goalBones = goals && o.createGoalBone != 0;
    Expected e;
    std::vector<std::pair<const RigCurve *, std::string>> reaching; // curves that get a goal
    for (const RigCurve &curve : rig) {
        std::string name = curve.surface;
        bool noGoal = false;
        if (goals && o.skipGoalOnNgSuffix != 0 && name.size() > 3 && name.ends_with("_NG")) {
            name.resize(name.size() - 3);
            noGoal = true;
        }
        for (size_t i = curve.startControl ? 1 : 0; i + 1 < curve.points.size(); ++i)
            e.bones.push_back(
                {curve.points[i], curve.points[i + 1], o.useSurfaceName ? name : "Bone", o.activateBone != 0});
        if (goals && !noGoal)
            reaching.emplace_back(&curve, name);
    }
    for (const auto &[curve, name] : reaching) {
        const Vec3 &end = curve->points.back(), &start = curve->points[curve->points.size() - 2];
        // A goal bone goes on from the tip for a hundredth of its length.
        const Vec3 past{end[0] + (end[0] - start[0]) / 100, end[1] + (end[1] - start[1]) / 100,
                        end[2] + (end[2] - start[2]) / 100};
        if (goalBones)
            e.bones.push_back({end, past, o.useSurfaceName ? name + "_GoalBone" : "GoalBone", false});
        e.goals.push_back(goalBones ? end : start);
    }
    return e;
}

// ---- how close the rebuilt points must be ----------------------------------------
//
// Every number is written with six decimals: each position component and
// length is off by at most eP = 0.5e-6, each angle by at most 0.5e-6 degree,
// eA = 0.5e-6·π/180 rad; banks are written 0 and read exactly.  A rotation
// off by an angle δ moves a unit vector by at most |δ|, and the errors of
// composed rotations add, so a rest rotation R(h, p, 0) is off by at most
// 2·eA and the frame of a bone d bones from its root (the root counted), a
// product of d of them, by at most 2·d·eA.  A bone's base is its root's rest
// position (model space: off by √3·eP) plus, for each later bone j on the
// path, its rest position r_j turned by the frame of j's parent (off by
// √3·eP + 2·(j-1)·eA·|r_j|); its tip adds the rest length L along its own
// frame (eP + 2·d·eA·L).  With D the sum of |r_j| (j ≥ 2) and L, both points
// lie within (√3·d + 1)·eP + 2·d·eA·D of the curve's, and the double
// arithmetic of both sides adds at most 1e-12·d·(1 + D + |r_1|).
constexpr double eP = 0.5e-6;
constexpr double eA = 0.5e-6 * kPi / 180.0;

Path pathOf(const Scene &scene, int bone) {
    Path path;
    for (int b = bone; b >= 0 && scene.items[size_t(b)].kind == ItemKind::Bone; b = scene.items[size_t(b)].parent) {
        const double r = norm(scene.items[size_t(b)].restPosition);
        ++path.depth;
        path.reach += r;
        path.root = r;
    }
    path.reach -= path.root;
    return path;
}

double tolerance(const Path &p, double length) {
    const double reach = p.reach + length;
    return (std::sqrt(3.0) * p.depth + 1) * eP + 2 * p.depth * eA * reach + 1e-12 * p.depth * (1 + reach + p.root);
}

// A goal null under bone a (optimize goal parent) is its written offset
// (√3·eP) turned by M(h, p)^T of a's direction, from a's base.  That
// direction, a's frame's z axis, is off by a chord c ≤ 2·d·eA; its pitch, a
// latitude, by at most the angle (π/2)·c, its heading, atan2(x, z), by at
// most c/ρ, where ρ is the least length of the direction's (x, z) part on the
// way, at least its rebuilt value less 2c.  Heading and pitch errors add.
double goalTolerance(const Scene &scene, const standin::RigPlacement &placed, size_t null) {
    const int a = scene.items[null].parent;
    const double slack = std::sqrt(3.0) * eP + 1e-12;
    if (a < 0 || scene.items[size_t(a)].kind != ItemKind::Bone)
        return slack;
    const Path path = pathOf(scene, a);
    const Vec3 direction = minus(placed.tip[size_t(a)], placed.base[size_t(a)]);
    const double chord = 2 * path.depth * eA;
    const double rho = std::hypot(direction[0], direction[2]) / norm(direction) - 2 * chord;
    EXPECT_GT(rho, 0) << "goal parent too near the vertical for a bound";
    const double offset = norm(scene.items[null].positions.at(0));
    return tolerance(path, 0) + slack + offset * (chord / rho + kPi / 2 * chord) * (1 + 1e-9);
}

} // namespace roundtrip
