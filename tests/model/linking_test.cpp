// Linking collected curves into chains: parents, loops, control segments
// and goal bones.
#include <cmath>

#include "chain_linking.h"

namespace modeltest {
namespace {

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
