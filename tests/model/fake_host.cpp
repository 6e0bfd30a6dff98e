#include "fake_host.h"

#include <cmath>

#include "module/services/services.h"

namespace modeltest {

void ModelTest::SetUp() {
    spindle::failAllocation = nullptr;
    table.count = 0;
}

void ModelTest::TearDown() {
    table.release();
    spindle::failAllocation = nullptr;
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
    return FakeHost::scan(polygons, spindle::collectCurve, &table);
}

std::vector<std::string> ModelTest::errors() const {
    std::vector<std::string> texts;
    for (const testsupport::HostMessage &m : messages) {
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
