// The panel refused, a control refused, and every way out of a run: the
// module shows "Couldn't create dialog!" where it must and destroys its
// panel exactly once.
#include <gtest/gtest.h>

#include "panel_runs.h"

using paneltest::noCurves;
using paneltest::PanelRuns;
using paneltest::twoCurves;
using testsupport::kSceneFile;
using testsupport::linesStartingWith;
using testsupport::type;

namespace {

TEST_F(PanelRuns, refusedPanelIsCouldntCreateDialogAndNothingToDestroy) {
    standin::HostConfig config = testsupport::quietConfig();
    config.refusePanel = true;
    const standin::RunResult host = standin::runCommand(loaded.module, config);
    EXPECT_EQ(host.result, 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Couldn't create dialog!");
    EXPECT_TRUE(linesStartingWith(host.transcript, "panels.destroy").empty());
    EXPECT_TRUE(linesStartingWith(host.transcript, "panels.addControl").empty());
}

TEST_F(PanelRuns, refusedControlIsCouldntCreateDialogAndThePanelIsDestroyed) {
    standin::HostConfig config = testsupport::quietConfig(&twoCurves());
    config.refuseControl = 6;
    const standin::RunResult host = standin::runCommand(loaded.module, config);
    EXPECT_EQ(host.result, 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Couldn't create dialog!");
    EXPECT_EQ(linesStartingWith(host.transcript, "panels.addControl").size(), 6u);
    EXPECT_EQ(linesStartingWith(host.transcript, "panels.destroy").size(), 1u);
    EXPECT_TRUE(linesStartingWith(host.transcript, "panels.open").empty());
    EXPECT_EQ(host.meshEditsBegun, 0);
}

TEST_F(PanelRuns, panelIsDestroyedOnceOnEveryWayOut) {
    const std::string &folder = temp.path;
    struct WayOut {
        const char *name;
        std::vector<standin::PanelEdit> edits;
        bool cancel;
        const standin::Mesh *mesh;
    };
    const WayOut ways[] = {
        {"cancel", {}, true, &twoCurves()},
        {"no curve", {}, false, &noCurves()},
        {"scene not opened", {type(kSceneFile, "")}, false, &twoCurves()},
        {"scene written", {type(kSceneFile, testsupport::join(folder, "out.lws"))}, false, &twoCurves()},
    };
    for (const WayOut &way : ways) {
        const standin::RunResult &host = run(way.edits, way.cancel, way.mesh);
        EXPECT_EQ(result, 0) << way.name;
        EXPECT_TRUE(host.panels.at(0).destroyed) << way.name;
        EXPECT_EQ(linesStartingWith(host.transcript, "panels.destroy").size(), 1u) << way.name;
        EXPECT_EQ(host.transcript.end()[-2], "panels.destroy") << way.name;
    }
    standin::HostConfig config = testsupport::quietConfig();
    config.refuseMeshEdit = true;
    const standin::RunResult refused = standin::runCommand(loaded.module, config);
    EXPECT_EQ(refused.result, 2);
    EXPECT_TRUE(refused.panels.at(0).destroyed);
}

} // namespace
