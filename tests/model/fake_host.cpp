#include "fake_host.h"

#include <cmath>

#include "module/services/services.h"

namespace modeltest {

namespace {

ModelTest *current = nullptr;

PointId idOf(std::size_t index) { return reinterpret_cast<PointId>((index + 1) * 16); }

const PointInfo *pointInfo(void *state, PointId id) {
    ModelTest &t = *static_cast<ModelTest *>(state);
    const std::size_t index = reinterpret_cast<std::uintptr_t>(id) / 16 - 1;
    if (index >= t.positions.size())
        return nullptr;
    t.record.point = id;
    for (int i = 0; i < 3; ++i)
        t.record.position[i] = t.positions[index][i];
    return &t.record;
}

int32_t polyScan(void *state, PolyScanFunc *scan, void *userData, int32_t) {
    ModelTest &t = *static_cast<ModelTest *>(state);
    for (const PolygonInfo &p : *t.scanList)
        if (int32_t r = scan(userData, &p))
            return r;
    return 0;
}

void info(const char *line1, const char *line2) { current->messages.push_back({false, line1, line2 != nullptr}); }
void error(const char *line1, const char *line2) { current->messages.push_back({true, line1, line2 != nullptr}); }

} // namespace

void ModelTest::SetUp() {
    current = this;
    messageServices.info = info;
    messageServices.error = error;
    meshEdit.state = this;
    meshEdit.polyScan = polyScan;
    meshEdit.pointInfo = pointInfo;
    spindle::host.messages = &messageServices;
    spindle::host.meshEdit = &meshEdit;
    spindle::failAllocation = nullptr;
    table.count = 0;
}

void ModelTest::TearDown() {
    table.release();
    spindle::host.messages = nullptr;
    spindle::host.meshEdit = nullptr;
    spindle::failAllocation = nullptr;
    current = nullptr;
}

PointId ModelTest::point(double x, double y, double z) {
    positions.push_back({x, y, z});
    return idOf(positions.size() - 1);
}

// Far past every point, and its id still fits a 32-bit pointer.
PointId ModelTest::unknownPoint() { return idOf(1u << 24); }

PolygonInfo ModelTest::curve(const std::vector<PointId> &points, const char *surface, int32_t flags, uint32_t type) {
    pointLists.push_back(points);
    PolygonInfo p{};
    p.flags = flags;
    p.numPoints = static_cast<int32_t>(points.size());
    p.points = pointLists.back().data();
    p.surface = surface;
    p.type = type;
    return p;
}

PolygonInfo ModelTest::longCurve(int32_t count, const char *surface) {
    std::vector<PointId> ids;
    ids.reserve(count);
    for (int32_t i = 0; i < count; ++i)
        ids.push_back(point(i, std::sin(i * 0.01), std::cos(i * 0.01)));
    return curve(ids, surface);
}

int32_t ModelTest::collect(const PolygonInfo &polygon) { return spindle::collectCurve(&table, &polygon); }

int32_t ModelTest::scan(const std::vector<PolygonInfo> &polygons) {
    scanList = &polygons;
    return meshEdit.polyScan(meshEdit.state, spindle::collectCurve, &table, HOST_LAYERS_FOREGROUND);
}

std::vector<std::string> ModelTest::errors() const {
    std::vector<std::string> texts;
    for (const Message &m : messages) {
        EXPECT_TRUE(m.error) << m.text;
        EXPECT_FALSE(m.hasSecondLine) << m.text;
        texts.push_back(m.text);
    }
    return texts;
}

void linkAndFinish(spindle::CurveTable &table, const spindle::Options &options, spindle::GoalBoneList &goals) {
    spindle::linkChains(table, options);
    ASSERT_FALSE(spindle::findLoop(table));
    spindle::finishChains(table, options, goals);
}

} // namespace modeltest
