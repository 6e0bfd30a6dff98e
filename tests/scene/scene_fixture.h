// Shared pieces of the scene writer's tests: a recording message service,
// the two-curve model of a typical run built by hand, a record captured from
// a scratch file, and (POSIX) a body run in a child process.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "module/model/model.h"
#include "module/panel/panel.h"
#include "module/services/services.h"
#include "module/scene/scene.h"

namespace scenetest {

// Every message shown, each as "info: text\n" or "error: text\n".
extern std::string messageLog;
// Points spindle::host.messages at the recorder and empties the log.
void recordMessages();

// Fills the geometry of a segment as the model would: start, end,
// direction, length, world and rest angles, rest position = start.
void placeSegment(spindle::BoneSegment &segment, const double (&start)[3], const double (&end)[3]);

// Curve A "Body": (0,0,0) (0,1,0) (0,2,0) (0,3,0), bones 1-3.  Curve B
// "Arm": (0,2,0) (1,2,0) (2,2,0), bones 4-5, its first bone a child of A's
// second.  Rest values are those the model computes (exact, worked out
// separately); the marks and the goal-bone list follow the options.  With
// `armHasNgSuffix` B's surface was "Arm_NG" (cut to "Arm" and marked where
// the options ask for it).
struct TypicalModel {
    std::unique_ptr<spindle::CurveTable> table;
    std::unique_ptr<spindle::GoalBoneList> goalBones;
    spindle::BoneSegment a[3];
    spindle::BoneSegment b[2];

    TypicalModel(const spindle::Options &options, bool armHasNgSuffix = false);
    ~TypicalModel();
    TypicalModel(const TypicalModel &) = delete;
    TypicalModel &operator=(const TypicalModel &) = delete;
};

// The bytes a record writer appends to a scene text.
std::string capture(const std::function<void(spindle::SceneText &)> &write);

#if !defined(_WIN32)
// Runs `body` in a forked child (as user `uid` unless it is 0) and returns
// its result; `log` receives the child's messageLog.  -1 when the child died.
int runInChild(const std::function<int()> &body, std::string &log, unsigned uid = 0);
#endif

} // namespace scenetest
