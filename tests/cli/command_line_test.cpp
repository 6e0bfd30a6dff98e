// The spindle command line: its options as a user's panel edits, and the
// lines that refuse a bad one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/command_fixture.h"
#include "standin/cli/command_line.h"
#include "support/module.h"

using testing::ElementsAre;

namespace {

std::string describe(const standin::PanelEdit &edit) { return edit.label + "=" + edit.value; }

std::vector<std::string> editsFor(const std::vector<std::string> &arguments) {
    standin::CommandLine line;
    std::string reason;
    EXPECT_TRUE(standin::parseCommandLine(arguments, line, reason)) << reason;
    std::vector<std::string> edits;
    for (const standin::PanelEdit &edit : standin::panelEdits(line))
        edits.push_back(describe(edit));
    return edits;
}

std::string refusalOf(const std::vector<std::string> &arguments) {
    standin::CommandLine line;
    std::string reason;
    EXPECT_FALSE(standin::parseCommandLine(arguments, line, reason));
    return reason;
}

TEST(CommandLine, everyPanelOptionBecomesTheUsersEditByLabel) {
    using namespace testsupport;
    EXPECT_THAT(editsFor({"rig.lwo"}), ElementsAre(kSceneFile + "=rig.lws"));
    EXPECT_THAT(editsFor({"-o", "out/scene.lws", "--object", "C:\\obj\\a b.lwo", "--bone-color", "cYaN",
                          "--goal-color=WHITE", "--no-surface-names", "--active-bones", "--ng-suffix",
                          "--no-goal-bones", "--optimize-goal-parent", "rig.lwo"}),
                ElementsAre(kSceneFile + "=out/scene.lws", kObjectFile + "=C:\\obj\\a b.lwo", kBoneColor + "=cYaN",
                            kGoalColor + "=WHITE", kSurfaceNames + "=off", kActiveBones + "=on", kNgSuffix + "=on",
                            kGoalBones + "=off", kOptimizeGoalParent + "=on"));
    EXPECT_THAT(editsFor({"--scene", "", "--no-active-bones", "--surface-names", "--no-ng-suffix", "--goal-bones",
                          "--no-optimize-goal-parent", "m.obj"}),
                ElementsAre(kSceneFile + "=", kSurfaceNames + "=on", kActiveBones + "=off", kNgSuffix + "=off",
                            kGoalBones + "=on", kOptimizeGoalParent + "=off"));
}

TEST(CommandLine, goalObjectsTurnOnBeforeAndOffAfterTheGoalControls) {
    using namespace testsupport;
    EXPECT_THAT(editsFor({"--goal-color", "blue", "--goal-objects", "m.obj"}),
                ElementsAre(kSceneFile + "=m.lws", kGoalObjects + "=on", kGoalColor + "=blue"));
    EXPECT_THAT(editsFor({"--no-goal-objects", "--goal-color", "blue", "m.obj"}),
                ElementsAre(kSceneFile + "=m.lws", kGoalColor + "=blue", kGoalObjects + "=off"));
}

TEST(CommandLine, defaultSceneReplacesTheModelsExtension) {
    EXPECT_EQ(standin::defaultScenePath("dir/model.lwo"), "dir/model.lws");
    EXPECT_EQ(standin::defaultScenePath("model"), "model.lws");
    EXPECT_EQ(standin::defaultScenePath("dir.v2/model"), "dir.v2/model.lws");
    EXPECT_EQ(standin::defaultScenePath("a.b.obj"), "a.b.lws");
    EXPECT_EQ(standin::defaultScenePath(".hidden"), ".hidden.lws");
}

TEST(CommandLine, meshAndOtherOptions) {
    standin::CommandLine line;
    std::string reason;
    ASSERT_TRUE(standin::parseCommandLine({"--layer", "2", "--layer=5", "--surface", "Arm", "--surface", "Leg",
                                           "--module", "/x/Spindle.p", "--transcript", "--cancel", "--", "-odd.lwo"},
                                          line, reason));
    EXPECT_THAT(line.layers, ElementsAre(2, 5));
    EXPECT_THAT(line.surfaces, ElementsAre("Arm", "Leg"));
    EXPECT_EQ(line.module, "/x/Spindle.p");
    EXPECT_TRUE(line.transcript);
    EXPECT_TRUE(line.cancel);
    EXPECT_EQ(line.model, "-odd.lwo");
}

TEST(CommandLine, refusesBadCommandLines) {
    EXPECT_EQ(refusalOf({"--frobnicate", "m.obj"}), "unknown option '--frobnicate'");
    EXPECT_EQ(refusalOf({"m.obj", "--scene"}), "option --scene needs a value");
    EXPECT_EQ(refusalOf({"--layer", "0", "m.obj"}), "bad layer number '0' (layers are numbered from 1)");
    EXPECT_EQ(refusalOf({"--layer", "x", "m.obj"}), "bad layer number 'x' (layers are numbered from 1)");
    EXPECT_EQ(refusalOf({}), "no model file given (see spindle --help)");
    EXPECT_EQ(refusalOf({"a.obj", "b.obj"}), "more than one model file given ('a.obj' and 'b.obj')");
    EXPECT_EQ(refusalOf({"--cancel=yes", "a.obj"}), "option --cancel takes no value");
}

} // namespace
