#include "support/fake_host.h"

#include <cassert>

#include "module/services/services.h"

namespace testsupport {

namespace {

// The host installed, for the message services, which take no state.
FakeHost *current = nullptr;

PointId idOf(std::size_t index) { return reinterpret_cast<PointId>((index + 1) * 16); }

} // namespace

FakeHost::FakeHost() {
    assert(current == nullptr);
    current = this;
    messageServices_.info = info;
    messageServices_.error = error;
    meshEdit_.state = this;
    meshEdit_.polyScan = polyScan;
    meshEdit_.pointInfo = pointInfo;
    spindle::host.messages = &messageServices_;
    spindle::host.meshEdit = &meshEdit_;
}

FakeHost::~FakeHost() {
    spindle::host.messages = nullptr;
    spindle::host.meshEdit = nullptr;
    current = nullptr;
}

PointId FakeHost::point(double x, double y, double z) {
    positions.push_back({x, y, z});
    return idOf(positions.size() - 1);
}

// Far past every point, and its id still fits a 32-bit pointer.
PointId FakeHost::unknownPoint() const { return idOf(1u << 24); }

PolygonInfo FakeHost::curve(const std::vector<PointId> &points, const char *surface, int32_t flags, uint32_t type) {
    pointLists.push_back(points);
    PolygonInfo p{};
    p.flags = flags;
    p.numPoints = static_cast<int32_t>(points.size());
    p.points = pointLists.back().data();
    p.surface = surface;
    p.type = type;
    return p;
}

int32_t FakeHost::scan(const std::vector<PolygonInfo> &polygons, PolyScanFunc *scan, void *userData) {
    scanList_ = &polygons;
    return meshEdit_.polyScan(meshEdit_.state, scan, userData, HOST_LAYERS_FOREGROUND);
}

const PointInfo *FakeHost::pointInfo(void *state, PointId id) {
    FakeHost &h = *static_cast<FakeHost *>(state);
    const std::size_t index = reinterpret_cast<std::uintptr_t>(id) / 16 - 1;
    if (index >= h.positions.size())
        return nullptr;
    h.record_.point = id;
    for (int i = 0; i < 3; ++i)
        h.record_.position[i] = h.positions[index][i];
    return &h.record_;
}

int32_t FakeHost::polyScan(void *state, PolyScanFunc *scan, void *userData, int32_t) {
    FakeHost &h = *static_cast<FakeHost *>(state);
    for (const PolygonInfo &p : *h.scanList_)
        if (int32_t r = scan(userData, &p))
            return r;
    return 0;
}

void FakeHost::info(const char *line1, const char *line2) {
    if (current->keepMessages)
        current->messages.push_back({false, line1, line2 != nullptr});
}

void FakeHost::error(const char *line1, const char *line2) {
    if (current->keepMessages)
        current->messages.push_back({true, line1, line2 != nullptr});
}

} // namespace testsupport
