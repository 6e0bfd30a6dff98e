// Round trips through the real module: rigs turned into scenes by Spindle.p,
// read back and placed in model space.  Every chain bone's base and tip, every
// goal bone and every goal null must sit where the curve points put them,
// within what the scene's six decimals allow.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <random>

#include "module/panel/panel.h"
#include "standin/modeler/modeler.h"
#include "standin/scene_reader/rig.h"
#include "standin/scene_reader/scene_reader.h"
#include "support/mesh_check.h"
#include "support/module.h"
#include "support/support.h"
#include "standin/readers/read_mesh.h"

namespace {

using standin::ItemKind;
using standin::Scene;
using standin::Vec3;
using testsupport::turn;

struct RigCurve {
    std::vector<Vec3> points;
    std::string surface;
    bool startControl = false;
};
using Rig = std::vector<RigCurve>;

Vec3 minus(const Vec3 &a, const Vec3 &b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double norm(const Vec3 &v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// ---- what the module should write, from the curves and the switches --------------

struct Placed {
    Vec3 base, tip;
    std::string name;
    bool active;
};
struct Expected {
    std::vector<Placed> bones; // chain bones in curve order, then goal bones
    std::vector<Vec3> goals;   // goal nulls
};

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

constexpr double kPi = 3.141592653589793;
constexpr double eP = 0.5e-6;
constexpr double eA = 0.5e-6 * kPi / 180.0;

struct Path {
    double depth = 0; // bones from the root, the bone itself included
    double reach = 0; // the sum of |r_j| past the root
    double root = 0;  // |r_1|
};

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

// ---- running the module and checking its scene -------------------------------------

// The rig's model: one layer, a point shared wherever curves meet at one
// position (the module links chains by shared points).
standin::Mesh rigMesh(const Rig &rig) {
    std::map<Vec3, uint32_t> index;
    std::vector<Vec3> points;
    std::vector<testsupport::TestCurve> curves;
    for (const RigCurve &curve : rig) {
        testsupport::TestCurve c{{}, curve.surface, curve.startControl};
        for (const Vec3 &p : curve.points) {
            const auto [at, added] = index.emplace(p, uint32_t(points.size()));
            if (added)
                points.push_back(p);
            c.points.push_back(at->second);
        }
        curves.push_back(c);
    }
    return testsupport::curveMesh(points, curves);
}

std::vector<standin::PanelEdit> switchEdits(const spindle::Options &o) {
    using namespace testsupport;
    return {turn(kSurfaceNames, o.useSurfaceName),  turn(kActiveBones, o.activateBone),
            turn(kGoalObjects, o.createGoalObject), turn(kNgSuffix, o.skipGoalOnNgSuffix),
            turn(kGoalBones, o.createGoalBone),     turn(kOptimizeGoalParent, o.optimizeGoalParent)};
}

// Runs the module on the model with these switches and checks the scene it
// writes against the rig.
void expectRoundTrip(const standin::Module &module, const standin::Mesh &mesh, const Rig &rig,
                     const spindle::Options &options, const std::string &label) {
    testsupport::TempDir folder;
    standin::HostConfig config = testsupport::quietConfig(&mesh);
    config.edits = switchEdits(options);
    config.edits.insert(config.edits.begin(),
                        testsupport::type(testsupport::kSceneFile, testsupport::join(folder.path, "rig.lws")));
    const standin::RunResult run = standin::runCommand(module, config);
    ASSERT_FALSE(run.messages.empty()) << label;
    ASSERT_EQ(run.messages.back().text, "Scene file created.") << label;

    Scene scene;
    std::string reason;
    ASSERT_TRUE(standin::readScene(testsupport::join(folder.path, "rig.lws"), scene, reason))
        << label << ": " << reason;
    const standin::RigPlacement placed = standin::placeRig(scene);
    const Expected expected = expectedScene(rig, options);
    std::vector<size_t> bones, goals;
    for (size_t i = 0; i < scene.items.size(); ++i) {
        if (scene.items[i].kind == ItemKind::Bone)
            bones.push_back(i);
        else if (scene.items[i].kind == ItemKind::NullObject && i > 0) // item 0: the object "NULL"
            goals.push_back(i);
    }
    ASSERT_EQ(bones.size(), expected.bones.size()) << label;
    ASSERT_EQ(goals.size(), expected.goals.size()) << label;
    int failures = 0;
    const auto near = [&](const char *what, size_t item, const Vec3 &got, const Vec3 &want, double within) {
        const double off = norm(minus(got, want));
        if (!(off <= within) && failures++ < 5)
            ADD_FAILURE() << label << ": " << what << " of item " << item << " (line " << scene.items[item].line
                          << ") is " << off << " off, allowed " << within;
    };
    for (size_t k = 0; k < bones.size(); ++k) {
        const standin::SceneItem &bone = scene.items[bones[k]];
        const Path path = pathOf(scene, int(bones[k]));
        near("base", bones[k], placed.base[bones[k]], expected.bones[k].base, tolerance(path, 0));
        near("tip", bones[k], placed.tip[bones[k]], expected.bones[k].tip, tolerance(path, bone.restLength));
        EXPECT_EQ(bone.name, expected.bones[k].name) << label;
        EXPECT_EQ(bone.active, expected.bones[k].active) << label;
    }
    for (size_t k = 0; k < goals.size(); ++k)
        near("goal null", goals[k], placed.base[goals[k]], expected.goals[k], goalTolerance(scene, placed, goals[k]));
}

// A curve from `start`, `bones` steps of varied length and direction, never
// steeper than about 64 degrees.
RigCurve wander(std::mt19937 &random, Vec3 start, int bones, std::string surface, bool startControl = false) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    RigCurve curve{{start}, std::move(surface), startControl};
    for (int i = 0; i < bones; ++i) {
        const double h = kPi * unit(random), p = 1.1 * unit(random), length = 1.0 + 0.5 * unit(random);
        const Vec3 &at = curve.points.back();
        curve.points.push_back({at[0] + length * std::cos(p) * std::sin(h), at[1] - length * std::sin(p),
                                at[2] + length * std::cos(p) * std::cos(h)});
    }
    return curve;
}

// Branches from inner points and from a chain's end, start control points
// at the root and behind a branch point, a branch from a control point's
// end, several surfaces (so that optimize goal parent moves goals) and an
// "_NG" suffix.
Rig branchedRig() {
    std::mt19937 random(7);
    Rig rig;
    rig.push_back(wander(random, {0, 0, 0}, 4, "Spine"));
    const Vec3 chest = rig[0].points[3];
    rig.push_back(wander(random, rig[0].points.back(), 2, "Spine"));
    rig.push_back(wander(random, chest, 3, "Arm"));
    rig.push_back(wander(random, rig[2].points.back(), 2, "Hand"));
    rig.push_back(wander(random, chest, 3, "Wing", true));
    rig.push_back(wander(random, rig[4].points[1], 2, "Feather"));
    rig.push_back(wander(random, {0, 0, 0}, 3, "Tail_NG", true));
    rig.push_back(wander(random, rig[6].points.back(), 2, "Tip"));
    return rig;
}

TEST(RoundTrip, exampleFigureRebuildsItsCurves) {
    standin::Mesh mesh;
    std::string reason;
    ASSERT_TRUE(standin::readMesh(SPINDLE_EXAMPLES "/figure.lwo", mesh, reason)) << reason;
    Rig rig;
    for (size_t l = 0; l < mesh.layers.size(); ++l)
        for (const standin::PolygonData &polygon : testsupport::polygonsOf(mesh, l))
            if (polygon.type == HOST_POLY_CURVE) {
                rig.push_back({{}, mesh.surfaces[polygon.surface], polygon.startControl});
                for (uint32_t p : polygon.points)
                    rig.back().points.push_back(mesh.point(l, p));
            }
    ASSERT_EQ(mesh.layers.size(), 1u);
    testsupport::FreshModule loaded;
    expectRoundTrip(loaded.module, mesh, rig, spindle::Options{}, "figure");
}

TEST(RoundTrip, everySwitchCombinationPlacesBonesAndGoalsOnABranchedRig) {
    const Rig rig = branchedRig();
    const standin::Mesh mesh = rigMesh(rig);
    testsupport::FreshModule loaded;
    for (int mask = 0; mask < 64; ++mask) {
        spindle::Options o;
        o.useSurfaceName = mask & 1;
        o.activateBone = (mask >> 1) & 1;
        o.createGoalObject = (mask >> 2) & 1;
        o.skipGoalOnNgSuffix = (mask >> 3) & 1;
        o.createGoalBone = (mask >> 4) & 1;
        o.optimizeGoalParent = (mask >> 5) & 1;
        expectRoundTrip(loaded.module, mesh, rig, o, "switches " + std::to_string(mask));
    }
}

TEST(RoundTrip, chainThousandBonesDeepStaysWithinItsBound) {
    std::mt19937 random(11);
    const Rig rig{wander(random, {0.25, -0.5, 1}, 1000, "Long")};
    testsupport::FreshModule loaded;
    expectRoundTrip(loaded.module, rigMesh(rig), rig, spindle::Options{}, "1000 deep");
}

TEST(RoundTrip, thousandCurvesInATreeWithStartControlPoints) {
    std::mt19937 random(13);
    Rig rig;
    for (int c = 0; c < 1000; ++c) {
        const Vec3 start = c == 0 ? Vec3{0, 0, 0} : rig[size_t((c - 1) / 2)].points.back();
        rig.push_back(wander(random, start, c % 7 == 3 ? 3 : 2, "Part" + std::to_string(c % 5), c % 7 == 3));
    }
    testsupport::FreshModule loaded;
    spindle::Options optimize;
    optimize.optimizeGoalParent = 1;
    expectRoundTrip(loaded.module, rigMesh(rig), rig, optimize, "1000 curves");
}

} // namespace
