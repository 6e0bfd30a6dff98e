// The fixture of the panel tests: runs of the real module with a user's
// answer to its panel, one loaded module shared by the runs of a test.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "support/module.h"
#include "support/support.h"

namespace paneltest {

// Two curves sharing a point: enough for a run to reach the scene file.
inline const standin::Mesh &twoCurves() {
    static const standin::Mesh mesh =
        testsupport::curveMesh({{0, 0, 0}, {0, 1, 0}, {0, 2, 0}, {1, 2, 0}}, {{{0, 1, 2}, "Spine"}, {{1, 3}, "Arm"}});
    return mesh;
}

// No curve at all: a run ends after the panel.
inline const standin::Mesh &noCurves() {
    static const standin::Mesh mesh = testsupport::curveMesh({{0, 0, 0}}, {});
    return mesh;
}

class PanelRuns : public testing::Test {
  protected:
    // One run with the given user answer; the host's record stays for checks.
    const standin::RunResult &run(std::vector<standin::PanelEdit> edits, bool cancel = false,
                                  const standin::Mesh *mesh = &noCurves()) {
        standin::HostConfig config = testsupport::quietConfig();
        config.edits = std::move(edits);
        config.cancel = cancel;
        config.mesh = mesh;
        runs.push_back(standin::runCommand(loaded.module, config));
        result = runs.back().result;
        return runs.back();
    }

    static std::vector<int32_t> shownIntegers(const standin::RunResult &host) {
        std::vector<int32_t> values;
        for (const standin::ControlState &control : host.panels.at(0).shown)
            values.push_back(control.integer);
        return values;
    }

    static std::vector<bool> shownGhosting(const standin::RunResult &host) {
        std::vector<bool> ghosted;
        for (const standin::ControlState &control : host.panels.at(0).shown)
            ghosted.push_back(control.ghosted);
        return ghosted;
    }

    testsupport::FreshModule loaded;
    testsupport::TempDir temp;
    std::deque<standin::RunResult> runs; // references to them stay valid
    int32_t result = -1;
};

} // namespace paneltest
