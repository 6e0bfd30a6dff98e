// Loading the real Spindle.p for end-to-end tests, and small in-memory models.
#pragma once

#include <array>
#include <initializer_list>
#include <string>
#include <vector>

#include "standin/host.h"

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
    std::string reason;  // why loading failed, if it did
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

// Runs the built spindle command with these arguments (no shell involved),
// its address space limited to `memoryLimit` bytes when that is not 0.
CommandRun runSpindle(const std::vector<std::string> &arguments, size_t memoryLimit = 0);

} // namespace testsupport
