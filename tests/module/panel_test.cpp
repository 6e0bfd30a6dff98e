// The options panel as a user meets it, through the real module and the
// stand-in's panel services; several runs share one loaded module where the
// stored options matter.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "panel_runs.h"

using testing::ElementsAre;
using testsupport::FreshModule;
using testsupport::linesStartingWith;

using paneltest::noCurves;
using paneltest::PanelRuns;
using paneltest::twoCurves;
using testsupport::kActiveBones;
using testsupport::kBoneColor;
using testsupport::kGoalColor;
using testsupport::kGoalObjects;
using testsupport::kObjectFile;
using testsupport::kSceneFile;
using testsupport::pick;
using testsupport::turn;
using testsupport::type;

namespace {

TEST_F(PanelRuns, firstRunShowsTheTenControlsWithTheirDefaults) {
    const standin::RunResult &host = run({}, true);
    ASSERT_EQ(host.panels.size(), 1u);
    const standin::PanelState &panel = host.panels[0];
    EXPECT_EQ(panel.title, "Spindle ver 1.53i for LW[6]  by Vant");
    ASSERT_EQ(panel.shown.size(), 10u);
    const std::vector<std::string> colors = {"Blue", "Green", "Cyan", "Red", "Purple", "Yellow", "White"};
    struct Expected {
        const char *kind;
        const char *label;
        int32_t descKind;
        int32_t width;
    };
    const Expected expected[] = {
        {"FileControl", "Scene File ", 1, 64},
        {"FileControl", "Object File", 1, 64},
        {"PopupControl", "Bone color", 9, 80},
        {"BoolControl", "Use surface name for Bone name", 8, 0},
        {"BoolControl", "Activate Bone", 8, 0},
        {"BoolControl", "Create Goal object (Name : \"<Bone name>_Goal\")", 8, 0},
        {"PopupControl", "Goal color", 9, 80},
        {"BoolControl", "Don't create goal if surface name has \"_NG\" suffix", 8, 0},
        {"BoolControl", "Create 'Goal bone'", 8, 0},
        {"BoolControl", "Optimize goal's parent", 8, 0},
    };
    for (size_t i = 0; i < 10; ++i) {
        const standin::ControlState &control = panel.shown[i];
        EXPECT_EQ(control.kind, expected[i].kind) << i;
        EXPECT_EQ(control.label, expected[i].label) << i;
        EXPECT_EQ(control.descKind, expected[i].descKind) << i;
        EXPECT_EQ(control.width, expected[i].width) << i;
        EXPECT_EQ(control.items, expected[i].descKind == 9 ? colors : std::vector<std::string>{}) << i;
    }
    EXPECT_EQ(panel.shown[0].text, "");
    EXPECT_EQ(panel.shown[1].text, "");
    EXPECT_THAT(shownIntegers(host), ElementsAre(0, 0, 1, 1, 1, 1, 3, 1, 1, 0));
    EXPECT_THAT(shownGhosting(host), ElementsAre(false, false, false, false, false, false, false, false, false, false));
    EXPECT_TRUE(linesStartingWith(host.transcript, "control 10 draw").empty());
    // The event function is registered on control 6 alone: user data first.
    EXPECT_THAT(linesStartingWith(host.transcript, "control 6 set event"),
                ElementsAre("control 6 set eventData pointer null", "control 6 set event pointer set"));
    EXPECT_EQ(panel.controls[5].eventData, nullptr);
    EXPECT_NE(panel.controls[5].event, nullptr);
    // The global function reaches the panel services before the first control.
    EXPECT_TRUE(
        linesStartingWith(host.transcript, "panels.addControl \"FileControl\" \"Scene File \" string width 64 (no")
            .empty());
}

TEST_F(PanelRuns, storedGoalObjectOffShowsTheGoalControlsGhostedInDrawingOrder) {
    run({turn(kGoalObjects, false)});
    const standin::RunResult &second = run({}, true);
    EXPECT_THAT(
        linesStartingWith(second.transcript, "control"),
        testing::IsSupersetOf({"control 10 draw 2", "control 7 draw 2", "control 8 draw 2", "control 9 draw 2"}));
    std::vector<std::string> draws = linesStartingWith(second.transcript, "control 10 draw");
    const auto &lines = second.transcript;
    const auto firstDraw = std::find(lines.begin(), lines.end(), "control 10 draw 2");
    ASSERT_NE(firstDraw, lines.end());
    EXPECT_THAT(std::vector<std::string>(firstDraw, firstDraw + 4),
                ElementsAre("control 10 draw 2", "control 7 draw 2", "control 8 draw 2", "control 9 draw 2"));
    EXPECT_LT(firstDraw - lines.begin(), std::find(lines.begin(), lines.end(), "panels.open 7") - lines.begin());
    EXPECT_THAT(shownGhosting(second), ElementsAre(false, false, false, false, false, false, true, true, true, true));
    EXPECT_EQ(shownIntegers(second)[5], 0);
}

TEST_F(PanelRuns, clearingAndSettingGoalObjectGhostsAndRestoresTheGoalControls) {
    const standin::RunResult &host = run({turn(kGoalObjects, false), turn(kGoalObjects, true)}, true);
    const auto &lines = host.transcript;
    const auto cleared = std::find(lines.begin(), lines.end(), "user: control 6 = 0");
    ASSERT_NE(cleared, lines.end());
    EXPECT_THAT(std::vector<std::string>(cleared, cleared + 12),
                ElementsAre("user: control 6 = 0", "event control 6", "control 6 get value -> 0", "control 10 draw 2",
                            "control 7 draw 2", "control 8 draw 2", "control 9 draw 2", "user: control 6 = 1",
                            "event control 6", "control 6 get value -> 1", "control 10 draw 1", "control 7 draw 1"));
    const standin::PanelState &panel = host.panels[0];
    for (int control : {7, 8, 9, 10})
        EXPECT_FALSE(panel.controls[static_cast<size_t>(control - 1)].ghosted) << control;
}

TEST_F(PanelRuns, panelIsCentredWithTruncatingDivision) {
    struct Case {
        int32_t screenWidth, screenHeight;
    };
    for (Case screen : {Case{1281, 1025}, Case{1280, 1024}, Case{101, 51}, Case{0, 0}}) {
        standin::HostConfig config = testsupport::quietConfig();
        config.cancel = true;
        config.metrics.width = screen.screenWidth;
        config.metrics.height = screen.screenHeight;
        const standin::RunResult host = standin::runCommand(loaded.module, config);
        int32_t width = 0, height = 0;
        for (const std::string &line : host.transcript) {
            std::sscanf(line.c_str(), "panels.get width -> %d", &width);
            std::sscanf(line.c_str(), "panels.get height -> %d", &height);
        }
        ASSERT_GT(width, 0);
        ASSERT_GT(height, 0);
        const int32_t left = (screen.screenWidth - width) / 2;
        const int32_t top = (screen.screenHeight - height) / 2;
        EXPECT_THAT(linesStartingWith(host.transcript, "panels.set"),
                    ElementsAre("panels.set left " + std::to_string(left), "panels.set top " + std::to_string(top)));
        EXPECT_EQ(host.panels[0].left, left);
        EXPECT_EQ(host.panels[0].top, top);
    }
    // The panel is wider than 101 pixels and higher than 51: negative, odd
    // differences, truncated toward zero.
    standin::HostConfig config = testsupport::quietConfig();
    config.cancel = true;
    config.metrics.width = 101;
    config.metrics.height = 51;
    const standin::RunResult host = standin::runCommand(loaded.module, config);
    EXPECT_LT(host.panels[0].left, 0);
    EXPECT_LT(host.panels[0].top, 0);
}

TEST_F(PanelRuns, loadsPathsWithTheirLengthsThenIntegersInItsOrderAndReadsBackInTheSameOrder) {
    const std::string scene = testsupport::join(temp.path, "first.lws");
    run({type(kSceneFile, scene), type(kObjectFile, "obj.lwo")}, false, &twoCurves());
    const standin::RunResult &host = run({}, false, &noCurves());
    EXPECT_THAT(linesStartingWith(host.transcript, "control 1 set value"),
                ElementsAre("control 1 set value text \"" + scene + "\" length " + std::to_string(scene.size())));
    EXPECT_THAT(linesStartingWith(host.transcript, "control 2 set value"),
                ElementsAre("control 2 set value text \"obj.lwo\" length 7"));
    std::vector<std::string> loads, reads;
    for (const std::string &line : host.transcript) {
        const size_t space = line.find(' ', 8);
        if (line.rfind("control ", 0) != 0 || space == std::string::npos)
            continue;
        const std::string number = line.substr(8, space - 8);
        if (line.compare(space, 19, " set value integer ") == 0)
            loads.push_back(number);
        if (line.compare(space, 14, " get value -> ") == 0)
            reads.push_back(number);
    }
    EXPECT_THAT(loads, ElementsAre("3", "7", "5", "6", "10", "8", "9", "4"));
    EXPECT_THAT(reads, ElementsAre("3", "7", "5", "6", "10", "8", "9", "4"));
    // The text loads come before every integer load.
    const auto &lines = host.transcript;
    EXPECT_LT(std::find(lines.begin(), lines.end(), "control 2 set value text \"obj.lwo\" length 7"),
              std::find(lines.begin(), lines.end(), "control 3 set value integer 1"));
}

TEST_F(PanelRuns, cancelStoresNothingAndEndsQuietly) {
    const standin::RunResult &cancelled = run({pick(kBoneColor, "Yellow"), turn(kGoalObjects, false),
                                               type(kSceneFile, "new.lws"), type(kObjectFile, "new.lwo")},
                                              true, &twoCurves());
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(cancelled.messages.empty());
    EXPECT_EQ(cancelled.meshEditsBegun, 0);
    EXPECT_TRUE(linesStartingWith(cancelled.transcript, "context.editBegin").empty());
    EXPECT_TRUE(cancelled.panels[0].destroyed);
    const standin::RunResult &next = run({}, true);
    EXPECT_THAT(shownIntegers(next), ElementsAre(0, 0, 1, 1, 1, 1, 3, 1, 1, 0));
    EXPECT_EQ(next.panels[0].shown[0].text, "");
    EXPECT_EQ(next.panels[0].shown[1].text, "");
}

TEST_F(PanelRuns, okStoresSwitchesButPathsOnlyWhereTheRunReadsThem) {
    const standin::RunResult &first =
        run({turn(kActiveBones, false), type(kSceneFile, "typed.lws"), type(kObjectFile, "typed.lwo")});
    ASSERT_EQ(first.messages.size(), 1u);
    EXPECT_EQ(first.messages[0].text, "Thare are no curve.");
    const standin::RunResult &next = run({}, true);
    EXPECT_EQ(shownIntegers(next)[4], 0);
    EXPECT_EQ(next.panels[0].shown[0].text, "");
    EXPECT_EQ(next.panels[0].shown[1].text, "");
}

TEST_F(PanelRuns, unopenableSceneStoresTheSceneButNotTheObjectPath) {
    const std::string missingFolder = testsupport::join(testsupport::join(temp.path, "no such folder"), "out.lws");
    const standin::RunResult &first =
        run({type(kSceneFile, missingFolder), type(kObjectFile, "typed.lwo")}, false, &twoCurves());
    ASSERT_EQ(first.messages.size(), 1u);
    EXPECT_EQ(first.messages[0].text, "Can't open \"" + missingFolder + "\". ");
    const standin::RunResult &next = run({}, true);
    EXPECT_EQ(next.panels[0].shown[0].text, missingFolder);
    EXPECT_EQ(next.panels[0].shown[1].text, "");
}

TEST_F(PanelRuns, textThatDoesNotFitTheModulesRoomIsNeverTakenAsComplete) {
    const std::string fits =
        testsupport::join(testsupport::join(temp.path, "no"), std::string(1022 - temp.path.size() - 4, 'x'));
    ASSERT_EQ(fits.size(), 1022u);
    EXPECT_TRUE(run({type(kSceneFile, fits)}, false, &twoCurves()).textsCut.empty());
    const standin::RunResult &cut = run({type(kSceneFile, fits + "y")}, false, &twoCurves());
    EXPECT_THAT(cut.textsCut, ElementsAre("Scene File "));
    EXPECT_THAT(linesStartingWith(cut.transcript, "control 1 get"),
                ElementsAre("control 1 get value offered 1023 -> \"" + fits + "\" (cut from 1023 bytes)"));
}

TEST_F(PanelRuns, goalControlChangedThenGhostedKeepsAndStoresItsValue) {
    const standin::RunResult &first = run({pick(kGoalColor, "Yellow"), turn(kGoalObjects, false)});
    EXPECT_TRUE(first.panels[0].controls[6].ghosted);
    EXPECT_EQ(first.panels[0].controls[6].integer, 5);
    const standin::RunResult &next = run({}, true);
    EXPECT_EQ(shownIntegers(next)[6], 5);
    EXPECT_EQ(shownIntegers(next)[5], 0);
}

} // namespace
