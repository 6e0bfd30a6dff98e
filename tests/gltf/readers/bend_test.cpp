// Skin weights judged as a Blender user sees them: a continuous body
// (tests/gltf/data/body_legs.obj and body_arms.obj, made by make_body.py)
// skinned by the command with its default weights, one limb bent in
// Blender, and how far the vertices move where they should not, against
// Blender's own automatic weights on the same mesh and armature
// (blender_bend.py, which also checks the file's weights vertex by vertex).
// Skipped without Blender, unless SPINDLE_REQUIRE_READERS=1.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "gltf/readers/reader_run.h"
#include "support/module.h"
#include "support/support.h"

namespace {

const std::string kReaders = SPINDLE_SOURCE_DIR "/tests/gltf/readers";
const std::string kBodies = SPINDLE_SOURCE_DIR "/tests/gltf/data";

// The name-value pairs of a file's line of that kind ("bend", "region",
// "sanity") whose third field is `which` (or any, when empty) and, when
// `weights` is given, whose fourth is that.
std::map<std::string, double> figures(const gltftest::Report &report, const std::string &file, const std::string &kind,
                                      const std::string &which = "", const std::string &weights = "") {
    std::map<std::string, double> out;
    const auto found = report.find(file);
    if (found == report.end())
        return out;
    for (const auto &f : found->second) {
        if (f.size() < 3 || f[1] != kind || (!which.empty() && f[2] != which) ||
            (!weights.empty() && (f.size() < 4 || f[3] != weights)))
            continue;
        for (size_t i = which.empty() ? 2 : (weights.empty() ? 3 : 4); i + 1 < f.size(); i += 2)
            out[f[i]] = std::strtod(f[i + 1].c_str(), nullptr);
    }
    return out;
}

// Prints a file's lines for whoever reads the test's output, and fails on
// a reader's error or a file whose weights are not sane (every vertex 1 to
// 4 nonzero weights that sum to 1).
void showAndCheck(const gltftest::Report &report, const std::string &glb) {
    const auto found = report.find(glb);
    ASSERT_TRUE(found != report.end() && !found->second.empty()) << glb;
    std::cout << glb << "\n";
    for (const auto &f : found->second) {
        ASSERT_NE(f.at(1), "error") << f.at(2);
        std::string line;
        for (const std::string &field : f)
            line += (line.empty() ? "" : " ") + field;
        std::cout << line << "\n";
    }
    const auto sane = figures(report, glb, "sanity");
    EXPECT_GT(sane.count("vertices") ? sane.at("vertices") : 0, 0) << glb;
    EXPECT_EQ(sane.count("bad") ? sane.at("bad") : -1, 0) << glb;
}

} // namespace

TEST(BodyBend, aBentLimbMovesTheOtherLegAndTheTorsoNoMoreThanBlendersWeightsDo) {
    REQUIRE_READER(gltftest::haveCommand("blender --version"), "Blender (Debian's blender)");
    testsupport::TempDir folder;
    const std::string legs = testsupport::join(folder.path, "legs.glb");
    const std::string arms = testsupport::join(folder.path, "arms.glb");
    for (const auto &[model, glb] : {std::pair{"body_legs", legs}, std::pair{"body_arms", arms}}) {
        const testsupport::CommandRun done = testsupport::runSpindle(
            {"-q", "--join-lines", "-o", glb + ".lws", "--gltf", glb, kBodies + "/" + model + ".obj"});
        ASSERT_EQ(done.status, 0) << done.err;
    }
    const std::string command = gltftest::blenderCommand(kReaders + "/blender_bend.py") + " legs '" + legs +
        "' arms '" + arms + "' 2>/dev/null";
    gltftest::Report report;
    ASSERT_TRUE(gltftest::runReader(command, report));
    for (const std::string &glb : {legs, arms})
        showAndCheck(report, glb);

    // Bending one thigh moves the other leg no more than Blender's weights
    // do, and the bent leg as far as they do.
    auto file = figures(report, legs, "bend", "file"), blender = figures(report, legs, "bend", "blender");
    ASSERT_TRUE(file.count("other_mean") && blender.count("other_mean") && blender.count("own_mean"));
    EXPECT_LE(file["other_mean"], blender["other_mean"]) << "the other leg moves on average";
    EXPECT_LE(file["other_over_1cm"], blender["other_over_1cm"]) << "vertices of the other leg move over 1 cm";
    EXPECT_NEAR(file["own_mean"], blender["own_mean"], 0.1 * blender["own_mean"]) << "the bent leg moves on average";

    // Swinging a hanging arm outwards moves the torso's side under it no
    // more than Blender's weights do.
    file = figures(report, arms, "bend", "file"), blender = figures(report, arms, "bend", "blender");
    ASSERT_TRUE(file.count("side_mean") && blender.count("side_mean"));
    EXPECT_LE(file["side_mean"], blender["side_mean"]) << "the torso's side moves on average";
    EXPECT_LE(file["side_over_1cm"], blender["side_over_1cm"]) << "vertices of the torso's side move over 1 cm";
}

// The family of make_bodies.py (arms hanging at several distances from the
// torso, touching included; legs close and apart; thin and heavy; hands
// whose fingers nearly touch; a tail; a shirt as a shell of its own), grown
// in one Blender run, skinned by the command, and bent limb by limb in
// another (bend_family.py).  Each limb turned 60 degrees moves the parts
// beside it that should stay still (the torso's side under a hanging arm,
// the other leg, the other fingers) no more than Blender's weights do, on
// average (to a tenth of a millimetre) and in vertices over 1 cm, and its own part as far as theirs
// (within 10%, or nearer than theirs to the part turned whole with its
// bone).  An elbow and a knee bent 90 degrees turn no more triangles over
// than Blender's weights do, and stretch no edge further than theirs
// stretch one.
TEST(BodyBend, everyLimbOfBodiesNobodyTunedForBendsAsCleanlyAsWithBlendersWeights) {
    REQUIRE_READER(gltftest::haveCommand("blender --version"), "Blender (Debian's blender)");
    testsupport::TempDir folder;
    const std::string names[] = {"arms_touch", "arms_close", "arms_wide", "thin_legs_close",
                                 "heavy",      "hands",      "tail",      "shirt"};
    std::string make = gltftest::blenderCommand(kBodies + "/make_bodies.py") + " '" + folder.path + "'";
    ASSERT_EQ(std::system((make + " >/dev/null 2>&1").c_str()), 0);
    std::string command = gltftest::blenderCommand(kReaders + "/bend_family.py");
    for (const std::string &name : names) {
        const std::string body = testsupport::join(folder.path, name);
        const testsupport::CommandRun done = testsupport::runSpindle(
            {"-q", "--join-lines", "-o", body + ".lws", "--gltf", body + ".glb", body + ".obj"});
        ASSERT_EQ(done.status, 0) << done.err;
        command += " '" + body + ".json' '" + body + ".glb'";
    }
    gltftest::Report report;
    ASSERT_TRUE(gltftest::runReader(command + " 2>/dev/null", report));
    for (const std::string &name : names) {
        const std::string glb = testsupport::join(folder.path, name) + ".glb";
        showAndCheck(report, glb);
        size_t poses = 0;
        for (const auto &f : report[glb]) {
            if (f.size() < 4 || f[3] != "file" || (f[1] != "bend" && f[1] != "joint"))
                continue;
            ++poses;
            const std::string pose = name + " " + f[2];
            auto ours = figures(report, glb, f[1], f[2], "file"), theirs = figures(report, glb, f[1], f[2], "blender");
            ASSERT_FALSE(theirs.empty()) << pose;
            if (f[1] == "joint") {
                EXPECT_LE(ours["flips"], theirs["flips"]) << pose << ": triangles turned over";
                EXPECT_LE(ours["stretch"], theirs["stretch"]) << pose << ": the largest stretch of an edge";
                continue;
            }
            EXPECT_LE(ours["still_mean"], theirs["still_mean"] + 1e-4)
                << pose << ": the parts beside it move on average";
            EXPECT_LE(ours["still_over_1cm"], theirs["still_over_1cm"]) << pose << ": vertices beside it over 1 cm";
            const double rigid = ours["own_rigid"];
            EXPECT_TRUE(std::abs(ours["own_mean"] - theirs["own_mean"]) <= 0.1 * theirs["own_mean"] ||
                        std::abs(ours["own_mean"] - rigid) <= std::abs(theirs["own_mean"] - rigid))
                << pose << ": the limb moves " << ours["own_mean"] << " on average, against " << theirs["own_mean"]
                << " (" << rigid << " turned whole)";
        }
        EXPECT_GE(poses, 3u) << name;
    }
}
