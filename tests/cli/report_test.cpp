// What the command tells after a run and about any scene: the summary line,
// the linking notes, `spindle show` with its tree, bone table and picture.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cli/command_fixture.h"
#include "readers/bytes.h"
#include "support/module.h"
#include "support/support.h"

using testing::StartsWith;

namespace {

using Report = Command;

TEST_F(Report, summaryCountsTheSceneInTheSingularWhereOneAndQuietLeavesItOut) {
    const std::string stick = model("stick.obj", "v 0 0 0\nv 0 0 2\nusemtl Stick\nl 1 2\n");
    const std::string scene = testsupport::join(folder, "stick.lws");
    EXPECT_EQ(testsupport::runSpindle({stick}).out,
              "Scene file created.\n" + scene + ": 1 chain bone in 1 chain, 1 goal bone, 1 goal object\n");
    EXPECT_EQ(testsupport::runSpindle({"--no-goal-objects", stick}).out,
              "Scene file created.\n" + scene + ": 1 chain bone in 1 chain, 0 goal bones, 0 goal objects\n");
    EXPECT_EQ(testsupport::runSpindle({"-q", stick}).out, "Scene file created.\n");
}

TEST_F(Report, notesNameCurvesDrawnFromAFirstPointOrFromAPointNotMerged) {
    // Leg starts at the spine's first point; Arm at a point of its own that
    // lies where the spine's second point lies.
    const std::string rig = model("rig.obj",
                                  "v 0 0 0\nv 0 1 0\nv 0 2 0\nv 1 0 0\nv 0 1 0\nv -1 1 0\n"
                                  "usemtl Spine\nl 1 2 3\nusemtl Leg\nl 1 4\nusemtl Arm\nl 5 6\n");
    const testsupport::CommandRun run = testsupport::runSpindle({rig});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err,
              "spindle: note: the curve in layer 1, polygon 1, surface \"Leg\" starts at the first point of the curve "
              "in layer 1, polygon 0, surface \"Spine\", so it starts a chain of its own (bones link only to a bone "
              "that ends where they start)\n"
              "spindle: note: the curve in layer 1, polygon 2, surface \"Arm\" starts where the curve in layer 1, "
              "polygon 0, surface \"Spine\" has a point, but not at that point (the points were not merged), so it is "
              "not linked\n");
    EXPECT_EQ(testsupport::runSpindle({"--quiet", rig}).err, "");

    // No note where the module links after all, or where merging would
    // link nothing: Arm ends a bone of Start's chain behind its control
    // point; Tail and Spine both merely start at one place.
    readertest::Bytes body;
    body.chunk("TAGS", readertest::Bytes().s0("Root").s0("Start").s0("Arm"))
        .chunk("PNTS", readertest::Bytes().points({0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 1, 2, 0}))
        .chunk("POLS", readertest::Bytes().id("CURV").u2(2).u2(0).u2(1).u2(0x0403).u2(1).u2(2).u2(3).u2(2).u2(2).u2(4))
        .chunk("PTAG", readertest::Bytes().id("SURF").vx(0).u2(0).vx(1).u2(1).vx(2).u2(2));
    const std::string linked = model("linked.lwo", readertest::form("LWO2", body));
    EXPECT_EQ(testsupport::runSpindle({linked}).err, "");
    const std::string apart =
        model("apart.obj", "v 0 0 0\nv 0 1 0\nv 0 0 0\nv 1 0 0\nusemtl Spine\nl 1 2\nusemtl Tail\nl 3 4\n");
    EXPECT_EQ(testsupport::runSpindle({apart}).err, "");
}

TEST_F(Report, showPrintsTheTreeTheBoneTableOrThePictureOfAScene) {
    const std::string rig = Command::rig();
    ASSERT_EQ(testsupport::runSpindle({rig}).status, 0);
    const std::string scene = testsupport::join(folder, "rig.lws");
    const testsupport::CommandRun tree = testsupport::runSpindle({"show", scene});
    EXPECT_EQ(tree.status, 0);
    EXPECT_EQ(tree.out,
              "NULL\n  1 Spine\n    2 Spine\n      4 Spine_GoalBone -> Spine_Goal\n    3 Arm\n"
              "      5 Arm_GoalBone -> Arm_Goal\n  Spine_Goal\n  Arm_Goal\n");
    EXPECT_EQ(testsupport::runSpindle({"show", "--bones", scene}).out,
              "1\tSpine\tNULL\t0.000000\t0.000000\t0.000000\t0.000000\t1.000000\t0.000000\n"
              "2\tSpine\t1\t0.000000\t1.000000\t0.000000\t0.000000\t2.000000\t0.000000\n"
              "3\tArm\t1\t0.000000\t1.000000\t0.000000\t1.000000\t1.000000\t0.000000\n"
              "4\tSpine_GoalBone\t2\t0.000000\t2.000000\t0.000000\t0.000000\t2.010000\t0.000000\n"
              "5\tArm_GoalBone\t3\t1.000000\t1.000000\t0.000000\t1.010000\t1.000000\t0.000000\n");
    const std::string picture = testsupport::join(folder, "rig.svg");
    EXPECT_EQ(testsupport::runSpindle({"show", "-o", picture, scene}).status, 0);
    EXPECT_THAT(testsupport::readFile(picture), StartsWith("<?xml"));
    EXPECT_EQ(testsupport::runSpindle({"--preview", testsupport::join(folder, "run.svg"), "-q", rig}).status, 0);
    EXPECT_EQ(testsupport::readFile(testsupport::join(folder, "run.svg")), testsupport::readFile(picture));

    const testsupport::CommandRun bad = testsupport::runSpindle({"show", rig});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "spindle: " + rig + ": line 1: not a scene file\n");
}

// The animation package's own scenes, read where the shared corpus is (they
// carry no licence and are never copied here): one tree line per object and
// bone, and a picture of each.
TEST_F(Report, showPrintsAndDrawsThePackagesOwnScenes) {
    const std::string corpus = SPINDLE_SOURCE_DIR "/../shared/corpus/lws";
    if (!std::filesystem::is_directory(corpus))
        GTEST_SKIP() << "no scene corpus at " << corpus;
    const std::pair<const char *, long> scenes[] = {
        {"Smilla_IK.lws", 12 + 30}, {"acs.lws", 19 + 79}, {"body_bones_ik.lws", 12 + 19}, {"bouff_bones.lws", 1 + 14}};
    for (const auto &[name, lines] : scenes) {
        const std::string scene = corpus + "/" + name;
        const testsupport::CommandRun tree = testsupport::runSpindle({"show", scene});
        EXPECT_EQ(tree.status, 0) << name << ": " << tree.err;
        EXPECT_EQ(std::count(tree.out.begin(), tree.out.end(), '\n'), lines) << name;
        const std::string picture = testsupport::join(folder, std::string(name) + ".svg");
        EXPECT_EQ(testsupport::runSpindle({"show", "-o", picture, scene}).status, 0) << name;
        EXPECT_THAT(testsupport::readFile(picture), testing::EndsWith("</svg>\n")) << name;
    }
}

} // namespace
