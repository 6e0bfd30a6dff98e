#include <cmath>
#include <numbers>

#include "fake_host.h"

namespace modeltest {
namespace {

using spindle::BoneSegment;
using std::numbers::pi;
using SegmentGeometry = ModelTest;
using ParentFrame = ModelTest;

// Six decimals, as the scene shows them.
void expectSix(double actual, double expected) { EXPECT_NEAR(actual, expected, 5e-7); }

void expectVector(const double (&actual)[3], double x, double y, double z) {
    expectSix(actual[0], x);
    expectSix(actual[1], y);
    expectSix(actual[2], z);
}

TEST_F(SegmentGeometry, measuresPositionDirectionLengthAndAngles) {
    BoneSegment s;
    ASSERT_EQ(s.setFromPoints(point(0, 0, 0), point(0, 0, 2)), &s);
    EXPECT_EQ(s.length, 2.0);
    expectVector(s.direction, 0, 0, 1);
    EXPECT_EQ(s.restHeading, 0.0);
    EXPECT_EQ(s.restPitch, 0.0);

    ASSERT_TRUE(s.setFromPoints(point(0, 0, 0), point(1, 1, 0)));
    expectSix(s.length, std::sqrt(2.0));
    expectVector(s.direction, 1 / std::sqrt(2.0), 1 / std::sqrt(2.0), 0);
    expectSix(s.restHeading, pi / 2);
    expectSix(s.restPitch, -pi / 4);
}

TEST_F(SegmentGeometry, headingAndPitchFollowTheAxes) {
    struct Case {
        double from[3], to[3], heading, pitch;
    };
    const Case cases[] = {
        {{1, 1, 1}, {2, 1, 1}, pi / 2, 0},  // +x
        {{1, 1, 1}, {0, 1, 1}, -pi / 2, 0}, // −x
        {{0, 0, 0}, {0, 0, -1}, pi, 0},     // −z: +0 in x gives +π
        {{0, 0, 0}, {0, 3, 0}, 0, -pi / 2}, // up
        {{0, 0, 0}, {0, -3, 0}, 0, pi / 2}, // down
    };
    for (const Case &k : cases) {
        BoneSegment s;
        ASSERT_TRUE(s.setFromPoints(point(k.from[0], k.from[1], k.from[2]), point(k.to[0], k.to[1], k.to[2])));
        expectSix(s.restHeading, k.heading);
        expectSix(s.restPitch, k.pitch);
    }
}

TEST_F(SegmentGeometry, aHorizontalSegmentHasNegativeZeroPitch) {
    BoneSegment s;
    ASSERT_TRUE(s.setFromPoints(point(0, 1, 0), point(3, 1, 4)));
    EXPECT_EQ(s.restPitch, 0.0);
    EXPECT_TRUE(std::signbit(s.restPitch));
}

TEST_F(SegmentGeometry, restValuesStartAsTheModelSpaceOnes) {
    BoneSegment s;
    PointId a = point(1, 2, 3), b = point(4, -2, 5);
    ASSERT_TRUE(s.setFromPoints(a, b));
    EXPECT_EQ(s.startPoint, a);
    EXPECT_EQ(s.endPoint, b);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(s.restPosition[i], s.start[i]);
    EXPECT_EQ(s.restHeading, s.worldHeading);
    EXPECT_EQ(s.restPitch, s.worldPitch);
    EXPECT_EQ(s.restBank, 0.0);
    EXPECT_EQ(s.worldBank, 0.0);
    EXPECT_FALSE(s.processed);
    EXPECT_EQ(s.parent, nullptr);
}

TEST(Numbers, lengthAndDegrees) {
    EXPECT_EQ(spindle::vectorLength(2, 3, 6), 7.0);
    EXPECT_EQ(spindle::radiansToDegrees(pi), 180.0);
    EXPECT_EQ(spindle::radiansToDegrees(-pi / 2), -90.0);
}

// ---- the parent-relative transform ------------------------------------------

struct Pair {
    BoneSegment parent, child;
};

// The root P from `p0` to `p1` and its child S from `s0` to `s1`, S converted.
void convert(ModelTest &t, Pair &pair, std::array<double, 3> p0, std::array<double, 3> p1, std::array<double, 3> s0,
             std::array<double, 3> s1, bool acrossControl = false) {
    ASSERT_TRUE(pair.parent.setFromPoints(t.point(p0[0], p0[1], p0[2]), t.point(p1[0], p1[1], p1[2])));
    ASSERT_TRUE(pair.child.setFromPoints(t.point(s0[0], s0[1], s0[2]), t.point(s1[0], s1[1], s1[2])));
    pair.child.parent = &pair.parent;
    pair.child.parentAcrossControl = acrossControl;
    spindle::toParentFrame(pair.parent);
    spindle::toParentFrame(pair.child);
}

TEST_F(ParentFrame, aRootKeepsItsModelSpaceValues) {
    Pair pr;
    convert(*this, pr, {1, 2, 3}, {2, 3, 5}, {2, 3, 5}, {2, 3, 9});
    expectVector(pr.parent.restPosition, 1, 2, 3);
    EXPECT_EQ(pr.parent.restHeading, pr.parent.worldHeading);
    EXPECT_EQ(pr.parent.restPitch, pr.parent.worldPitch);
    EXPECT_FALSE(pr.parent.processed);
    EXPECT_TRUE(pr.child.processed);
}

TEST_F(ParentFrame, convertsTheAxisExamples) {
    Pair a, b, c, d;
    convert(*this, a, {0, 0, 0}, {0, 0, 2}, {0, 0, 2}, {2, 0, 2});
    expectVector(a.child.restPosition, 0, 0, 2);
    expectSix(a.child.restHeading, pi / 2);
    expectSix(a.child.restPitch, 0);

    convert(*this, b, {0, 0, 0}, {2, 0, 0}, {2, 0, 0}, {2, 0, -3});
    expectVector(b.child.restPosition, 0, 0, 2);
    expectSix(b.child.restHeading, pi / 2);
    expectSix(b.child.restPitch, 0);

    convert(*this, c, {0, 0, 0}, {0, 2, 0}, {0, 2, 0}, {0, 2, 3});
    expectVector(c.child.restPosition, 0, 0, 2);
    expectSix(c.child.restHeading, 0);
    expectSix(c.child.restPitch, pi / 2);

    convert(*this, d, {0, 0, 0}, {2, 0, 0}, {2, 0, 1}, {2, 0, 4}, true);
    expectVector(d.child.restPosition, -1, 0, 2);
    expectSix(d.child.restHeading, -pi / 2);
    expectSix(d.child.restPitch, 0);
}

TEST_F(ParentFrame, convertsTheDiagonalExample) {
    Pair a, b;
    convert(*this, a, {0, 0, 0}, {1, 1, 1}, {1, 1, 1}, {2, 1, 1});
    expectSix(a.parent.restHeading, 0.785398);
    expectSix(spindle::radiansToDegrees(a.parent.restHeading), 45.0);
    expectSix(a.parent.restPitch, -0.615480);
    expectSix(spindle::radiansToDegrees(a.parent.restPitch), -35.264390);
    expectSix(a.parent.length, 1.732051);
    expectSix(a.child.restHeading, 0.886077);
    expectSix(spindle::radiansToDegrees(a.child.restHeading), 50.768480);
    expectSix(a.child.restPitch, 0.420534);
    expectSix(spindle::radiansToDegrees(a.child.restPitch), 24.094843);
    expectVector(a.child.restPosition, 0, 0, 1.732051);

    convert(*this, b, {0, 0, 0}, {1, 1, 1}, {1, 0, 2}, {3, 0, 2}, true);
    expectSix(b.child.restHeading, 0.886077);
    expectSix(b.child.restPitch, 0.420534);
    expectVector(b.child.restPosition, -0.707107, -1.224745, 1.732051);
}

TEST_F(ParentFrame, aStraightContinuationHasNoTurn) {
    Pair a;
    convert(*this, a, {1, 2, 3}, {2, 4, 6}, {2, 4, 6}, {3, 6, 9});
    expectSix(a.child.restHeading, 0);
    expectSix(a.child.restPitch, 0);
    expectVector(a.child.restPosition, 0, 0, a.parent.length);
    // The model-space angles stay for the goal objects.
    expectSix(a.child.worldHeading, a.parent.worldHeading);
    EXPECT_EQ(a.child.worldPitch, a.parent.worldPitch);
}

} // namespace
} // namespace modeltest
