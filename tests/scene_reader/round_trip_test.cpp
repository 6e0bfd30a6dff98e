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
#include "scene_reader/rig_expectation.h"

namespace {

using namespace roundtrip;
using standin::ItemKind;
using standin::Scene;
using testsupport::turn;

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
