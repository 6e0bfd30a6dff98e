#include <cmath>
#include <memory>
#include <numbers>

#include "fake_host.h"

namespace modeltest {
namespace {

using spindle::BoneSegment;
using spindle::Curve;
using spindle::GoalBoneList;
using spindle::Options;
constexpr int32_t kControl = HOST_POLY_SELECTED | HOST_POLY_START_CONTROL;

class ChainLinking : public ModelTest {
  public:
    // A selected curve through `points`, collected into the table.
    Curve &add(const std::vector<PointId> &points, const char *name = "Bone", int32_t flags = HOST_POLY_SELECTED) {
        EXPECT_EQ(collect(curve(points, name, flags)), 0);
        return table.curves[table.count - 1];
    }
    // `count` fresh points, each a step further along x with some wobble.
    std::vector<PointId> fresh(int count) {
        std::vector<PointId> ids;
        for (int i = 0; i < count; ++i) {
            const double k = static_cast<double>(positions.size());
            ids.push_back(point(std::sin(k * 1.3) + k, std::cos(k * 0.7) * 2, std::sin(k * 0.4) - 1));
        }
        return ids;
    }
    GoalBoneList goals;
    Options options;
};

std::vector<PointId> join(std::vector<PointId> a, const std::vector<PointId> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(ChainLinking, numbersBonesOverAllCurvesSkippingControlSegments) {
    Curve &a = add(fresh(3));
    Curve &b = add(fresh(4), "B", kControl);
    Curve &c = add(fresh(2));
    EXPECT_EQ(spindle::linkChains(table, options), 5);
    EXPECT_EQ(a.segment(0).boneNumber, 1);
    EXPECT_EQ(a.segment(1).boneNumber, 2);
    EXPECT_EQ(b.segment(0).boneNumber, -1);
    EXPECT_EQ(b.segment(1).boneNumber, 3);
    EXPECT_EQ(b.segment(2).boneNumber, 4);
    EXPECT_EQ(c.segment(0).boneNumber, 5);
}

TEST_F(ChainLinking, linksAFirstSegmentToTheSegmentEndingAtItsStart) {
    const std::vector<PointId> p = fresh(4);
    Curve &a = add(p);
    Curve &middle = add(join({p[2]}, fresh(2)));
    Curve &tip = add(join({p[3]}, fresh(1)));
    Curve &first = add(join({p[0]}, fresh(1)));
    spindle::linkChains(table, options);
    EXPECT_EQ(a.segment(0).parent, nullptr);
    EXPECT_EQ(a.segment(1).parent, &a.segment(0));
    EXPECT_EQ(a.segment(2).parent, &a.segment(1));
    EXPECT_EQ(middle.segment(0).parent, &a.segment(1));
    EXPECT_EQ(middle.segment(1).parent, &middle.segment(0));
    EXPECT_EQ(tip.segment(0).parent, &a.segment(2));
    EXPECT_EQ(first.segment(0).parent, nullptr);
    EXPECT_FALSE(spindle::findLoop(table));
}

TEST_F(ChainLinking, theLastMatchInCollectionOrderWins) {
    const std::vector<PointId> shared = fresh(1);
    add(join(join(fresh(1), shared), fresh(1)));
    Curve &child = add(join(shared, fresh(2)));
    add(join(fresh(2), shared));
    Curve &later = add(join(join(fresh(1), shared), fresh(2)));
    spindle::linkChains(table, options);
    EXPECT_EQ(child.segment(0).parent, &later.segment(0));
}

TEST_F(ChainLinking, findsALoopBetweenTwoCurves) {
    const std::vector<PointId> u = fresh(1), v = fresh(1);
    add(join(join(u, v), fresh(1)));
    add(join(join(v, u), fresh(1)));
    spindle::linkChains(table, options);
    EXPECT_TRUE(spindle::findLoop(table));
}

TEST_F(ChainLinking, checksAncestriesOfAnyDepth) {
    // 300 two-point curves, each starting where the previous one ends,
    // collected tip first: 299 ancestors for the tip bone.
    const std::vector<PointId> p = fresh(301);
    for (int i = 299; i >= 0; --i)
        add({p[i], p[i + 1]});
    spindle::linkChains(table, options);
    EXPECT_FALSE(spindle::findLoop(table));
    EXPECT_EQ(table.curves[0].segment(0).parent, &table.curves[1].segment(0));

    // The same chain closed on itself far from every walk's start.
    table.release();
    table.count = 0;
    for (int i = 0; i < 299; ++i)
        add({p[i], p[i + 1]});
    add({p[299], p[0]});
    spindle::linkChains(table, options);
    EXPECT_TRUE(spindle::findLoop(table));
}

TEST_F(ChainLinking, hangsTheFirstBoneBehindAControlPointWhereTheControlSegmentHangs) {
    const std::vector<PointId> p = fresh(3);
    Curve &a = add(p);
    Curve &b = add(join({p[1]}, fresh(3)), "B", kControl);
    Curve &loose = add(fresh(3), "L", kControl);
    spindle::linkChains(table, options);
    EXPECT_EQ(b.segment(0).boneNumber, -1);
    EXPECT_EQ(b.segment(0).parent, &a.segment(0));
    EXPECT_EQ(b.segment(1).parent, &a.segment(0));
    EXPECT_TRUE(b.segment(1).parentAcrossControl);
    EXPECT_EQ(b.segment(2).parent, &b.segment(1));
    EXPECT_FALSE(b.segment(2).parentAcrossControl);
    EXPECT_EQ(loose.segment(1).parent, nullptr);
    EXPECT_TRUE(loose.segment(1).parentAcrossControl);
}

TEST_F(ChainLinking, aBoneNeverKeepsAControlSegmentAsParent) {
    const std::vector<PointId> p = fresh(3);
    Curve &a = add(p);
    const std::vector<PointId> bp = join({p[1]}, fresh(2));
    Curve &b = add(bp, "B", kControl);       // control segment hangs on A
    Curve &c = add(join({bp[1]}, fresh(2))); // starts where B's control segment ends
    const std::vector<PointId> dp = join({bp[1]}, fresh(2));
    Curve &d = add(dp, "D", kControl); // control segment behind B's control segment
    const std::vector<PointId> ep = fresh(3);
    add(ep, "E", kControl); // control segment on no other curve
    Curve &f = add(join({ep[1]}, fresh(1)));
    spindle::linkChains(table, options);
    ASSERT_EQ(c.segment(0).parent, &b.segment(0));
    ASSERT_FALSE(spindle::findLoop(table));
    spindle::finishChains(table, options, goals);

    EXPECT_EQ(c.segment(0).parent, &a.segment(0));
    EXPECT_TRUE(c.segment(0).parentAcrossControl);
    EXPECT_EQ(d.segment(1).parent, &a.segment(0));
    EXPECT_TRUE(d.segment(1).parentAcrossControl);
    EXPECT_EQ(f.segment(0).parent, nullptr);
    EXPECT_TRUE(f.segment(0).parentAcrossControl);
    for (int32_t i = 0; i < table.count; ++i)
        for (int32_t s = 0; s < table.curves[i].segmentCount; ++s) {
            const BoneSegment *parent = table.curves[i].segment(s).parent;
            EXPECT_TRUE(parent == nullptr || parent->boneNumber > 0);
        }
    // A root reached across a control segment keeps its model-space values.
    EXPECT_FALSE(f.segment(0).processed);
    EXPECT_EQ(f.segment(0).restPosition[0], f.segment(0).start[0]);
}

TEST_F(ChainLinking, findsALoopThroughControlSegments) {
    const std::vector<PointId> u = fresh(1), v = fresh(1);
    add(join(join(v, u), fresh(1)), "C", kControl);
    add(join(join(u, v), fresh(1)), "D", kControl);
    spindle::linkChains(table, options);
    EXPECT_TRUE(spindle::findLoop(table));
}

TEST_F(ChainLinking, appliesTheNoGoalSuffixAndListsGoalBonesByTheOptions) {
    for (int combination = 0; combination < 8; ++combination) {
        const bool object = combination & 1, skip = combination & 2, bone = combination & 4;
        SCOPED_TRACE(combination);
        std::destroy_at(&table); // every run starts from a new table
        std::construct_at(&table);
        Curve &arm = add(fresh(3), "Arm_NG");
        Curve &leg = add(fresh(2), "Leg");
        options.createGoalObject = object;
        options.skipGoalOnNgSuffix = skip;
        options.createGoalBone = bone;
        spindle::linkChains(table, options);
        const int32_t counted = spindle::countGoalBones(table, options);
        ASSERT_FALSE(spindle::findLoop(table));
        spindle::finishChains(table, options, goals);

        const bool cut = object && skip;
        EXPECT_STREQ(arm.name, cut ? "Arm" : "Arm_NG");
        EXPECT_EQ(arm.noGoal, cut);
        EXPECT_EQ(leg.noGoal, 0);
        std::vector<const BoneSegment *> expected;
        if (object && bone && !cut)
            expected.push_back(&arm.segment(1));
        if (object && bone)
            expected.push_back(&leg.segment(0));
        EXPECT_EQ(std::vector<const BoneSegment *>(goals.tips, goals.tips + goals.count), expected);
        EXPECT_EQ(counted, goals.count);
        EXPECT_EQ(arm.goalBone, object && bone && !cut);
        EXPECT_EQ(leg.goalBone, object && bone);
    }
}

TEST_F(ChainLinking, everyQualifyingCurveGetsItsGoalBone) {
    for (int i = 0; i < 150; ++i)
        add(fresh(2), i == 7 ? "Tail_NG" : "Bone");
    spindle::linkChains(table, options);
    EXPECT_EQ(spindle::countGoalBones(table, options), 149);
    ASSERT_FALSE(spindle::findLoop(table));
    spindle::finishChains(table, options, goals);
    ASSERT_EQ(goals.count, 149);
    EXPECT_EQ(goals.tips[7], &table.curves[8].segment(0));
    EXPECT_EQ(goals.tips[148], &table.curves[149].segment(0));
}

// ---- the converted hierarchy -------------------------------------------------

// Turns a vector of `frame`'s frame back into model space.
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

TEST_F(ChainLinking, handlesAMillionPointCurveThroughItsIndexes) {
    const std::vector<PointId> p = fresh(1000000);
    Curve &big = add(p, "Big");
    Curve &branch = add(join({p[500000]}, fresh(1)));
    EXPECT_EQ(big.segmentCount, 999999);
    EXPECT_EQ(spindle::linkChains(table, options), 1000000);
    EXPECT_EQ(branch.segment(0).parent, &big.segment(499999));
    EXPECT_FALSE(spindle::findLoop(table));

    messages.clear();
    EXPECT_EQ(collect(curve(join(p, {p[123456]}))), HOST_SCAN_STOP);
    EXPECT_EQ(messages.back().text, "Don't use the closed curve.");
}

} // namespace
} // namespace modeltest
