// Skin weights judged as a Blender user sees them: a continuous body
// (tests/gltf/data/body_legs.obj and body_arms.obj, made by make_body.py)
// skinned by the command with its default weights, one limb bent in
// Blender, and how far the vertices move where they should not, against
// Blender's own automatic weights on the same mesh and armature
// (blender_bend.py, which also checks the file's weights vertex by vertex).
// Skipped without Blender, unless SPINDLE_REQUIRE_READERS=1.
#include <gtest/gtest.h>

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
// "sanity") whose third field is `which` (or any, when empty).
std::map<std::string, double> figures(const gltftest::Report &report, const std::string &file, const std::string &kind,
                                      const std::string &which = "") {
    std::map<std::string, double> out;
    const auto found = report.find(file);
    if (found == report.end())
        return out;
    for (const auto &f : found->second) {
        if (f.size() < 3 || f[1] != kind || (!which.empty() && f[2] != which))
            continue;
        for (size_t i = which.empty() ? 2 : 3; i + 1 < f.size(); i += 2)
            out[f[i]] = std::strtod(f[i + 1].c_str(), nullptr);
    }
    return out;
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
    for (const std::string &glb : {legs, arms}) {
        ASSERT_FALSE(report[glb].empty()) << glb;
        std::cout << glb << "\n";
        for (const auto &f : report[glb]) {
            ASSERT_NE(f.at(1), "error") << f.at(2);
            std::string line; // the figures, for whoever reads the test's output
            for (const std::string &field : f)
                line += (line.empty() ? "" : " ") + field;
            std::cout << line << "\n";
        }
        // Every vertex has 1 to 4 nonzero weights that sum to 1.
        const auto sane = figures(report, glb, "sanity");
        EXPECT_GT(sane.count("vertices") ? sane.at("vertices") : 0, 0) << glb;
        EXPECT_EQ(sane.count("bad") ? sane.at("bad") : -1, 0) << glb;
    }

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
