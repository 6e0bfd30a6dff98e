// Loading the real Spindle.p for end-to-end tests, and small in-memory models.
#pragma once

#include <array>
#include <initializer_list>
#include <string>
#include <vector>

#include "standin/modeler/modeler.h"

namespace testsupport {

// A freshly loaded copy of the built module: its stored options start at
// their defaults, whatever other tests did.  Unloaded on destruction.
class FreshModule {
  public:
    FreshModule();
    ~FreshModule();
    FreshModule(const FreshModule &) = delete;
    FreshModule &operator=(const FreshModule &) = delete;

    standin::Module module;
    std::string path;
    std::string reason; // why loading failed, if it did
};

// One curve of a test model: point indices into the layer's points.
struct TestCurve {
    std::vector<uint32_t> points;
    std::string surface = "Default";
    bool startControl = false;
};

// A one-layer model of the given points and curves.
standin::Mesh curveMesh(const std::vector<std::array<double, 3>> &points, const std::vector<TestCurve> &curves);

// A host configuration that keeps the module's messages to itself (no echo
// to standard output or error), with an optional model.
standin::HostConfig quietConfig(const standin::Mesh *mesh = nullptr);

// The panel's labels, as the user reads them.
inline const std::string kSceneFile = "Scene File ";
inline const std::string kObjectFile = "Object File";
inline const std::string kBoneColor = "Bone color";
inline const std::string kSurfaceNames = "Use surface name for Bone name";
inline const std::string kActiveBones = "Activate Bone";
inline const std::string kGoalObjects = "Create Goal object (Name : \"<Bone name>_Goal\")";
inline const std::string kGoalColor = "Goal color";
inline const std::string kNgSuffix = "Don't create goal if surface name has \"_NG\" suffix";
inline const std::string kGoalBones = "Create 'Goal bone'";
inline const std::string kOptimizeGoalParent = "Optimize goal's parent";

// The user's edits: typing a text, turning a check box on or off, picking
// an item of a choice control.
inline standin::PanelEdit type(const std::string &label, const std::string &text) { return {label, text}; }
inline standin::PanelEdit turn(const std::string &label, bool on) { return {label, on ? "on" : "off"}; }
inline standin::PanelEdit pick(const std::string &label, const std::string &item) { return {label, item}; }

// The transcript lines that start with `prefix`, in order.
std::vector<std::string> linesStartingWith(const std::vector<std::string> &transcript, const std::string &prefix);

} // namespace testsupport

namespace testsupport {

// What a run of the spindle command printed and answered.
struct CommandRun {
    int status = -1;
    std::string out;
    std::string err;
};

// The conditions of a command run beyond its arguments: those each system
// can impose on a process.
struct CommandConditions {
    // Processor time in seconds, 0: no limit; a run that needs more is ended
    // (RLIMIT_CPU; on Windows a job's time limit, which Wine does not enforce).
    int cpuSeconds = 0;
#if defined(_WIN32)
    int terminateAfterMs = -1; // TerminateProcess the run this long after its start, -1: never
#else
    unsigned uid = 0;             // run as this user (needs root), 0: as the tests run
    std::string program;          // the command to run instead of the built one, "": the built one
    long long fileSizeLimit = -1; // RLIMIT_FSIZE in bytes, -1: none
    long long memoryLimit = 0;    // RLIMIT_AS in bytes, 0: none
    int signal = 0;               // sent again and again from `signalAfterMs` on until the run ends
    int signalAfterMs = 0;
#endif
};

#if defined(_WIN32)
// The exit status of a run that `terminateAfterMs` ended.
inline constexpr int kTerminated = 0x7E57;
#endif

// Runs the built spindle command with these arguments (no shell involved;
// on Windows quoted as the C runtime splits a command line).  `status` is
// the exit status, or 128 + the signal that ended the run (POSIX).
CommandRun runSpindle(const std::vector<std::string> &arguments, const CommandConditions &conditions = {});

} // namespace testsupport
