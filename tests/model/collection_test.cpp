#include <cstring>
#include <string>

#include "fake_host.h"

namespace modeltest {
namespace {

using spindle::collectCurve;
using spindle::kMaxCurves;
using Errors = std::vector<std::string>;
using CurveCollection = ModelTest;

constexpr uint32_t kFace = 0x46414345u; // 'FACE', a polygon type that is not a curve

const std::string kClosed = "Don't use the closed curve.";
const std::string kLong = "Number of bone (one curve included) is over 256. ";
const std::string kFull = "Number of curve is over 1000.";
const std::string kNoMemory = "Not enough memory.";

TEST_F(CurveCollection, passesOverWhatIsNotAUsableCurve) {
    PointId a = point(0, 0, 0), b = point(1, 0, 0), c = point(2, 0, 0);
    EXPECT_EQ(collect(curve({a, b, c}, "Bone", 0)), 0);                         // unselected
    EXPECT_EQ(collect(curve({a, b, c}, "Bone", HOST_POLY_SELECTED, kFace)), 0); // a face
    EXPECT_EQ(collect(curve({a})), 0);                                          // one point
    EXPECT_EQ(collect(curve({})), 0);                                           // no point
    EXPECT_EQ(collect(curve({a, b}, "Bone", HOST_POLY_SELECTED | HOST_POLY_START_CONTROL)), 0);
    EXPECT_EQ(table.count, 0);
    EXPECT_TRUE(messages.empty());

    EXPECT_EQ(collect(curve({a, b})), 0);
    EXPECT_EQ(collect(curve({a, b, c}, "Ctl", HOST_POLY_SELECTED | HOST_POLY_START_CONTROL)), 0);
    ASSERT_EQ(table.count, 2);
    EXPECT_EQ(table.curves[0].segmentCount, 1);
    EXPECT_FALSE(table.curves[0].hasStartControlPoint());
    EXPECT_EQ(table.curves[1].segmentCount, 2);
    EXPECT_TRUE(table.curves[1].hasStartControlPoint());
    EXPECT_STREQ(table.curves[1].name, "Ctl");
    EXPECT_TRUE(messages.empty());
}

TEST_F(CurveCollection, fillsOneSegmentPerPairOfSuccessivePoints) {
    PointId p[4] = {point(0, 0, 0), point(0, 0, 2), point(0, 3, 2), point(1, 3, 2)};
    ASSERT_EQ(collect(curve({p[0], p[1], p[2], p[3]})), 0);
    const spindle::Curve &c = table.curves[0];
    ASSERT_EQ(c.segmentCount, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(c.segment(i).startPoint, p[i]);
        EXPECT_EQ(c.segment(i).endPoint, p[i + 1]);
        EXPECT_EQ(c.segment(i).curve, &c);
        EXPECT_EQ(c.segment(i).parent, nullptr);
        EXPECT_FALSE(c.segment(i).processed);
        EXPECT_FALSE(c.segment(i).parentAcrossControl);
    }
    EXPECT_EQ(c.segment(0).start[2], 0.0);
    EXPECT_EQ(c.segment(2).end[0], 1.0);
}

TEST_F(CurveCollection, warnsOfACurveOverTheBoneLimitAndStillCollectsIt) {
    EXPECT_EQ(collect(longCurve(256)), 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(collect(longCurve(257)), 0);
    EXPECT_EQ(errors(), Errors{kLong});
    ASSERT_EQ(table.count, 2);
    EXPECT_EQ(table.curves[1].segmentCount, 256);
}

TEST_F(CurveCollection, refusesCurvesThatPassAPointTwice) {
    PointId a = point(0, 0, 0), b = point(1, 0, 0), c = point(1, 1, 0), d = point(0, 1, 0);
    EXPECT_EQ(collect(curve({a, b, c, d, a})), HOST_SCAN_STOP); // end on start
    EXPECT_EQ(collect(curve({a, b, c, b, d})), HOST_SCAN_STOP); // middle revisit
    EXPECT_EQ(errors(), (Errors{kClosed, kClosed}));
    EXPECT_EQ(table.count, 0);
}

TEST_F(CurveCollection, refusesLongClosedCurvesAfterTheWarning) {
    // Long lists take the sorted-index path; both ends and the middle count.
    PolygonInfo closed = longCurve(300);
    std::vector<PointId> ids(closed.points, closed.points + 300);
    ids.push_back(ids.front());
    EXPECT_EQ(collect(curve(ids)), HOST_SCAN_STOP);
    EXPECT_EQ(errors(), (Errors{kLong, kClosed}));

    messages.clear();
    ids.pop_back();
    ids[200] = ids[37];
    EXPECT_EQ(collect(curve(std::vector<PointId>(ids.begin(), ids.begin() + 250))), HOST_SCAN_STOP);
    EXPECT_EQ(errors(), Errors{kClosed});

    messages.clear();
    ids[200] = point(-5, -5, -5);
    EXPECT_EQ(collect(curve(ids)), 0);
    EXPECT_EQ(errors(), Errors{kLong});
    EXPECT_EQ(table.count, 1);
}

TEST_F(CurveCollection, twoPointsAtOnePositionDoNotCloseACurve) {
    PointId a = point(0, 0, 0), b = point(1, 0, 0), c = point(0, 0, 0);
    EXPECT_EQ(collect(curve({a, b, c})), 0);
    EXPECT_EQ(table.count, 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(CurveCollection, takesAThousandCurvesAndRefusesTheNext) {
    PointId a = point(0, 0, 0), b = point(1, 0, 0);
    std::vector<PolygonInfo> polygons(kMaxCurves, curve({a, b}));
    polygons.push_back(curve({a, b}, "Bone", 0)); // unselected: not counted
    EXPECT_EQ(scan(polygons), 0);
    EXPECT_EQ(table.count, kMaxCurves);
    EXPECT_TRUE(messages.empty());

    EXPECT_EQ(collect(curve({a, b, a})), HOST_SCAN_STOP); // closed test comes first
    EXPECT_EQ(collect(curve({b, a})), HOST_SCAN_STOP);
    PointId same = point(1, 0, 0);
    EXPECT_EQ(collect(curve({b, same})), HOST_SCAN_STOP); // the limit before the zero-length test
    EXPECT_EQ(errors(), (Errors{kClosed, kFull, kFull}));
    EXPECT_EQ(table.count, kMaxCurves);
}

TEST_F(CurveCollection, cutsLongSurfaceNamesAtACharacterBoundary) {
    const std::string ascii(100, 'a');
    const std::string exact(79, 'b');
    // "é" (2 bytes) over bytes 78 and 79, "€" (3 bytes) over 77 to 79.
    const std::string two = std::string(78, 'c') + "\xC3\xA9" + "tail";
    const std::string three = std::string(77, 'd') + "\xE2\x82\xAC" + "tail";
    const std::string four = std::string(79, 'e') + "\xF0\x9F\xA6\xB4";
    PointId a = point(0, 0, 0), b = point(1, 0, 0);
    for (const std::string *name : {&ascii, &exact, &two, &three, &four})
        ASSERT_EQ(collect(curve({a, b}, name->c_str())), 0);
    EXPECT_EQ(std::string(table.curves[0].name), std::string(79, 'a'));
    EXPECT_EQ(std::string(table.curves[1].name), exact);
    EXPECT_EQ(std::string(table.curves[2].name), std::string(78, 'c'));
    EXPECT_EQ(std::string(table.curves[3].name), std::string(77, 'd'));
    EXPECT_EQ(std::string(table.curves[4].name), std::string(79, 'e'));
}

TEST_F(CurveCollection, theCutNameDecidesTheNoGoalSuffixAndTheMessages) {
    const std::string ng = std::string(76, 'x') + "_NGmore";
    PointId a = point(0, 0, 0), b = point(1, 0, 0), c = point(1, 0, 0);
    ASSERT_EQ(collect(curve({a, b}, ng.c_str())), 0);
    table.curves[0].applyNoGoalSuffix();
    EXPECT_EQ(std::string(table.curves[0].name), std::string(76, 'x'));
    EXPECT_EQ(table.curves[0].noGoal, 1);

    const std::string longName = std::string(90, 'z');
    EXPECT_EQ(collect(curve({a, b, c}, longName.c_str())), HOST_SCAN_STOP);
    EXPECT_EQ(errors(), Errors{"Zero-length bone in curve \"" + std::string(79, 'z') + "\"."});
}

TEST_F(CurveCollection, refusesAZeroLengthBoneOnce) {
    PointId a = point(0, 0, 0), b = point(1, 0, 0), c = point(1, 0, 0), d = point(1, 0, 0);
    EXPECT_EQ(collect(curve({a, b}, "Fine")), 0);
    EXPECT_EQ(collect(curve({a, b, c, d}, "Arm_L")), HOST_SCAN_STOP);
    EXPECT_EQ(errors(), Errors{"Zero-length bone in curve \"Arm_L\"."});
    EXPECT_EQ(table.count, 1);
    EXPECT_EQ(table.curves[1].segments, nullptr);
    EXPECT_EQ(table.curves[1].segmentCount, 0);
}

TEST_F(CurveCollection, aClosedCurveWithAZeroLengthBoneIsRefusedAsClosed) {
    PointId a = point(0, 0, 0), b = point(0, 0, 0), c = point(1, 0, 0);
    EXPECT_EQ(collect(curve({a, b, c, a})), HOST_SCAN_STOP);
    EXPECT_EQ(errors(), Errors{kClosed});
}

TEST_F(CurveCollection, refusesAnUnreadablePoint) {
    PointId a = point(0, 0, 0), b = point(1, 0, 0);
    EXPECT_EQ(collect(curve({a, b, unknownPoint()})), HOST_SCAN_STOP);
    EXPECT_EQ(errors(), Errors{"Can't read a curve point."});
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(table.curves[0].segments, nullptr);
}

TEST_F(CurveCollection, showsAShortageOfMemoryAndStops) {
    spindle::failAllocation = [](std::size_t) { return true; };
    PointId a = point(0, 0, 0), b = point(1, 0, 0);
    EXPECT_EQ(scan({curve({a, b}), curve({b, a})}), HOST_SCAN_STOP);
    EXPECT_EQ(errors(), Errors{kNoMemory});
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(table.curves[0].segments, nullptr);

    // The index of a long curve's closed-curve test needs memory too.
    messages.clear();
    EXPECT_EQ(collect(longCurve(100)), HOST_SCAN_STOP);
    EXPECT_EQ(errors(), Errors{kNoMemory});
}

TEST_F(CurveCollection, cutsTheNoGoalSuffixOnlyWhenExact) {
    struct Case {
        const char *name;
        const char *after;
        uint8_t mark;
    };
    const Case cases[] = {
        {"Arm_NG", "Arm", 1},    {"A_NG", "A", 1},      {"_NG", "_NG", 0},
        {"Arm_ng", "Arm_ng", 0}, {"ArmNG", "ArmNG", 0}, {"Arm_NG ", "Arm_NG ", 0},
    };
    for (const Case &k : cases) {
        spindle::Curve c;
        std::strcpy(c.name, k.name);
        c.noGoal = 1;
        c.applyNoGoalSuffix();
        EXPECT_STREQ(c.name, k.after) << k.name;
        EXPECT_EQ(c.noGoal, k.mark) << k.name;
    }
}

} // namespace
} // namespace modeltest
