// Bones turned into their parents' frames: each turned back gives its
// model-space direction and start, whatever the order of conversion.
#include <cmath>
#include <memory>

#include "chain_linking.h"

namespace modeltest {
namespace {

void toModel(const BoneSegment &frame, double (&v)[3]) {
    const double sh = std::sin(frame.restHeading), ch = std::cos(frame.restHeading);
    const double sp = std::sin(frame.restPitch), cp = std::cos(frame.restPitch);
    const double x = v[0], y = v[1], z = v[2];
    v[0] = ch * x + sh * sp * y + sh * cp * z;
    v[1] = cp * y - sp * z;
    v[2] = -sh * x + ch * sp * y + ch * cp * z;
    if (frame.parent != nullptr)
        toModel(*frame.parent, v);
}

void modelStart(const BoneSegment &s, double (&at)[3]) {
    double offset[3] = {s.restPosition[0], s.restPosition[1], s.restPosition[2]};
    if (s.parent == nullptr) {
        std::copy(offset, offset + 3, at);
        return;
    }
    modelStart(*s.parent, at);
    toModel(*s.parent, offset);
    for (int i = 0; i < 3; ++i)
        at[i] += offset[i];
}

TEST_F(ChainLinking, turningEachBoneBackGivesItsModelSpaceDirectionAndStart) {
    const std::vector<PointId> a = fresh(5);
    const std::vector<PointId> b = join({a[2]}, fresh(3));
    add(a);
    add(b);
    const std::vector<PointId> c = join({a[3]}, fresh(3));
    add(c, "C", kControl);
    add(join({c[1]}, fresh(3))); // re-parented across C's control segment
    add(join({b[3]}, fresh(2)));
    add(join({b[1]}, fresh(4)), "G", kControl); // control segment on B, bone across it
    linkAndFinish(table, options, goals);

    for (int32_t i = 0; i < table.count; ++i)
        for (int32_t k = 0; k < table.curves[i].segmentCount; ++k) {
            SCOPED_TRACE(testing::Message() << "curve " << i << " segment " << k);
            const BoneSegment &s = table.curves[i].segment(k);
            double d[3] = {0, 0, 1}, at[3];
            toModel(s, d);
            modelStart(s, at);
            for (int j = 0; j < 3; ++j) {
                EXPECT_NEAR(d[j], s.direction[j], 1e-12);
                EXPECT_NEAR(at[j], s.start[j], 1e-9);
            }
        }
}

TEST_F(ChainLinking, conversionOrderDoesNotChangeTheResult) {
    std::vector<PolygonInfo> polygons;
    const std::vector<PointId> a = fresh(6);
    polygons.push_back(curve(a));
    polygons.push_back(curve(join({a[2]}, fresh(4))));
    polygons.push_back(curve(join({a[4]}, fresh(3)), "C", kControl));
    polygons.push_back(curve(join({a[5]}, fresh(5))));
    ASSERT_EQ(scan(polygons), 0);
    auto reversed = std::make_unique<spindle::CurveTable>();
    for (const PolygonInfo &p : polygons)
        ASSERT_EQ(spindle::collectCurve(reversed.get(), &p), 0);

    linkAndFinish(table, options, goals);
    spindle::linkChains(*reversed, options);
    ASSERT_FALSE(spindle::findLoop(*reversed));
    for (int32_t i = reversed->count - 1; i >= 0; --i)
        for (int32_t k = reversed->curves[i].segmentCount - 1; k >= 0; --k)
            spindle::toParentFrame(reversed->curves[i].segment(k));
    GoalBoneList other;
    spindle::finishChains(*reversed, options, other);

    for (int32_t i = 0; i < table.count; ++i)
        for (int32_t k = 0; k < table.curves[i].segmentCount; ++k) {
            const BoneSegment &x = table.curves[i].segment(k), &y = reversed->curves[i].segment(k);
            EXPECT_EQ(x.restHeading, y.restHeading);
            EXPECT_EQ(x.restPitch, y.restPitch);
            for (int j = 0; j < 3; ++j)
                EXPECT_EQ(x.restPosition[j], y.restPosition[j]);
            EXPECT_EQ(x.processed, y.processed);
        }
    reversed->release();
}

} // namespace
} // namespace modeltest
