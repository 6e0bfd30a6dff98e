// A stand-in for the host services the module's logic reaches, shared by
// the model's tests and the stage benchmarks: points with their positions,
// curve polygons over them, the scan over a list of polygons, and a log of
// the messages shown.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "host/host.h"

namespace testsupport {

struct HostMessage {
    bool error;
    std::string text;
    bool hasSecondLine;
    bool operator==(const HostMessage &) const = default;
};

// Installs itself as spindle::host's messages and mesh edit while it lives
// (one at a time), and leaves both unset when it goes.
class FakeHost {
  public:
    FakeHost();
    ~FakeHost();
    FakeHost(const FakeHost &) = delete;
    FakeHost &operator=(const FakeHost &) = delete;

    // A new point at (x, y, z); its id is distinct from every other point's.
    PointId point(double x, double y, double z);
    // A point that pointInfo knows nothing about.
    PointId unknownPoint() const;
    // A polygon record over `points`; the lists stay alive with the host.
    PolygonInfo curve(const std::vector<PointId> &points, const char *surface = "Bone",
                      int32_t flags = HOST_POLY_SELECTED, uint32_t type = HOST_POLY_CURVE);
    // The host's scan over `polygons`, calling `scan` with `userData` for
    // each as the activation does; the scan's answer.
    int32_t scan(const std::vector<PolygonInfo> &polygons, PolyScanFunc *scan, void *userData);

    std::vector<std::array<double, 3>> positions;
    std::deque<std::vector<PointId>> pointLists;
    std::vector<HostMessage> messages;
    bool keepMessages = true; // false: the messages are dropped, as a benchmark wants

  private:
    static const PointInfo *pointInfo(void *state, PointId id);
    static int32_t polyScan(void *state, PolyScanFunc *scan, void *userData, int32_t layerMode);
    static void info(const char *line1, const char *line2);
    static void error(const char *line1, const char *line2);

    const std::vector<PolygonInfo> *scanList_ = nullptr;
    PointInfo record_{};
    MessageServices messageServices_{};
    MeshEditOp meshEdit_{};
};

} // namespace testsupport
