// Numbers, item ids, bone records and goal null records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "scene/scene_fixture.h"

namespace {

using scenetest::capture;
using scenetest::placeSegment;
using spindle::BoneSegment;
using spindle::Curve;
using spindle::Options;
constexpr spindle::BoneMode ChainBone = spindle::BoneMode::ChainBone;
constexpr spindle::BoneMode WithoutGoalLines = spindle::BoneMode::ChainBoneWithoutGoalLines;
constexpr spindle::BoneMode GoalBone = spindle::BoneMode::GoalBone;

bool has(const std::string &text, const std::string &line) { return text.find(line + "\r\n") != std::string::npos; }

// The value of channel `channel`'s key line in a record.
std::string keyOf(const std::string &record, int channel) {
    const std::string head = "Channel " + std::to_string(channel) + "\r\n{ Envelope\r\n  1\r\n  Key ";
    const size_t at = record.find(head);
    if (at == std::string::npos)
        return "<none>";
    const size_t from = at + head.size();
    return record.substr(from, record.find(' ', from) - from);
}

TEST(SceneNumbers, zeroOfEitherSignHasNoSignButTinyNegativesKeepIt) {
    EXPECT_STREQ(spindle::formatFixed(0.0).text, "0.000000");
    EXPECT_STREQ(spindle::formatFixed(-0.0).text, "0.000000");
    EXPECT_STREQ(spindle::formatFixed(-1e-9).text, "-0.000000");
    EXPECT_STREQ(spindle::formatFixed(4e-7).text, "0.000000");
    EXPECT_STREQ(spindle::formatFixed(-1.5).text, "-1.500000");
    EXPECT_STREQ(spindle::formatFixed(-2.0).text, "-2.000000");
    EXPECT_STREQ(spindle::formatFixed(12.25).text, "12.250000");
    EXPECT_STREQ(spindle::formatFixed(1.0 / 3.0).text, "0.333333");
    EXPECT_EQ(std::strlen(spindle::formatFixed(-1.7976931348623157e308).text), 317u);
}

class Records : public ::testing::Test {
  protected:
    void SetUp() override {
        std::strcpy(arm.name, "Arm");
        std::strcpy(body.name, "Body");
        placeSegment(tip, {0, 0, 0}, {0, 0, 2.5});
        tip.curve = &arm;
        tip.boneNumber = 1;
        spindle::goalCounter = 0;
    }
    std::string bone(const BoneSegment &segment, spindle::BoneMode mode) {
        return capture([&](spindle::SceneText &text) { spindle::writeBone(text, segment, mode, options); });
    }
    std::string goalNull(const BoneSegment &segment, bool atEnd) {
        return capture([&](spindle::SceneText &text) { spindle::writeGoalNull(text, segment, atEnd, options); });
    }
    Options options;
    Curve arm, body;
    BoneSegment tip, parent;
};

TEST_F(Records, goalBoneExtendsTheTipAndTakesTheNextGoalObject) {
    tip.boneNumber = 17;
    spindle::goalCounter = 4;
    const std::string record = bone(tip, GoalBone);
    EXPECT_TRUE(has(record, "BoneName Arm_GoalBone"));
    EXPECT_TRUE(has(record, "BoneActive 0"));
    EXPECT_TRUE(has(record, "BoneRestPosition 0.0 0.0 2.500000"));
    EXPECT_TRUE(has(record, "BoneRestDirection 0.0, 0.0, 0.0"));
    EXPECT_TRUE(has(record, "BoneRestLength 0.025000"));
    EXPECT_TRUE(has(record, "BoneStrength 0.000000"));
    EXPECT_EQ(keyOf(record, 0), "0.000000");
    EXPECT_EQ(keyOf(record, 2), "2.500000");
    EXPECT_EQ(keyOf(record, 5), "00.000000");
    EXPECT_TRUE(has(record, "ParentItem 40100000"));
    EXPECT_TRUE(has(record, "GoalObject 6\r\nFullTimeIK 1\r\nGoalStrength 1\r\n"));
    EXPECT_EQ(spindle::goalCounter, 5);
}

TEST_F(Records, chainBoneRecordHasSeventyLinesAndSeventyThreeWithGoal) {
    auto lines = [](const std::string &text) {
        size_t n = 0;
        for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
            ++n;
        return n;
    };
    const std::string plain = bone(tip, WithoutGoalLines);
    EXPECT_EQ(lines(plain), 70u);
    EXPECT_EQ(plain.substr(plain.size() - 4), "\r\n\r\n");
    EXPECT_EQ(plain.find('\n'), plain.find("\r\n") + 1);
    const std::string withGoal = bone(tip, ChainBone);
    EXPECT_EQ(lines(withGoal), 73u);
    EXPECT_TRUE(has(withGoal, "ParentItem 10000000\r\nGoalObject 2"));
    EXPECT_EQ(lines(goalNull(tip, true)), 64u);
}

TEST_F(Records, parentIdsNameTheBoneNumber) {
    placeSegment(parent, {0, 0, -1}, {0, 0, 0});
    parent.curve = &arm;
    tip.parent = &parent;
    const struct {
        int number;
        const char *line;
    } cases[] = {{1, "ParentItem 40000000"},
                 {2, "ParentItem 40010000"},
                 {16, "ParentItem 400f0000"},
                 {17, "ParentItem 40100000"},
                 {4096, "ParentItem 4fff0000"}};
    for (const auto &c : cases) {
        parent.boneNumber = c.number;
        EXPECT_TRUE(has(bone(tip, WithoutGoalLines), c.line)) << c.number;
        tip.boneNumber = c.number;
        EXPECT_TRUE(has(bone(tip, GoalBone), c.line)) << "goal bone on " << c.number;
        tip.boneNumber = 1;
    }
}

TEST_F(Records, restPoseIsWrittenInDegreesWithSignsAndNoPadding) {
    tip.restPosition[0] = -1.5;
    tip.restPosition[1] = 12.5;
    tip.restPosition[2] = -0.0;
    tip.restHeading = 3.141592653589793;
    tip.restPitch = -3.141592653589793 / 2;
    tip.length = 10.0;
    const std::string record = bone(tip, WithoutGoalLines);
    EXPECT_TRUE(has(record, "BoneRestPosition -1.500000 12.500000 0.000000"));
    EXPECT_TRUE(has(record, "BoneRestDirection 180.000000 -90.000000 0.000000"));
    EXPECT_TRUE(has(record, "BoneRestLength 10.000000"));
    EXPECT_EQ(keyOf(record, 0), "-1.500000");
    EXPECT_EQ(keyOf(record, 1), "12.500000");
    EXPECT_EQ(keyOf(record, 2), "0.000000");
    EXPECT_EQ(keyOf(record, 3), "3.141593");
    EXPECT_EQ(keyOf(record, 4), "-1.570796");
    EXPECT_EQ(keyOf(record, 5), "00.000000");
    EXPECT_EQ(keyOf(record, 6), "1");
}

TEST_F(Records, namesColoursAndActivityFollowTheOptions) {
    options.boneColor = 6;
    std::string record = bone(tip, WithoutGoalLines);
    EXPECT_TRUE(has(record, "BoneName Arm\r\nShowBone 1 7\r\nBoneActive 1"));
    options.useSurfaceName = 0;
    options.activateBone = 0;
    options.boneColor = 0;
    record = bone(tip, WithoutGoalLines);
    EXPECT_TRUE(has(record, "BoneName Bone\r\nShowBone 1 1\r\nBoneActive 0"));
    EXPECT_TRUE(has(bone(tip, GoalBone), "BoneName GoalBone\r\nShowBone 1 1\r\nBoneActive 0"));

    options = Options{};
    options.goalColor = 0;
    EXPECT_TRUE(has(goalNull(tip, false), "AddNullObject Arm_Goal\r\nShowObject 8 1"));
    options.goalColor = 3;
    options.useSurfaceName = 0;
    EXPECT_TRUE(has(goalNull(tip, false), "AddNullObject Arm_Goal\r\nShowObject 8 4"));
}

TEST_F(Records, tipWithoutOwnGoalWritesNoGoalLines) {
    const std::string plain = bone(tip, WithoutGoalLines);
    arm.noGoal = 1;
    EXPECT_EQ(bone(tip, ChainBone), plain);
    arm.noGoal = 0;
    arm.goalBone = 1;
    EXPECT_EQ(bone(tip, ChainBone), plain);
    EXPECT_EQ(spindle::goalCounter, 0);
}

class GoalParents : public Records {
  protected:
    // Goal nulls of `tip` (curve Arm) with the ancestor `parent` (curve Body).
    std::string underAncestor(const double (&from)[3], const double (&to)[3], int number, const double (&goal)[3]) {
        placeSegment(ancestor, from, to);
        ancestor.curve = &body;
        ancestor.boneNumber = number;
        placeSegment(tip, goal, {goal[0], goal[1], goal[2] + 1});
        tip.curve = &arm;
        tip.boneNumber = number + 1;
        tip.parent = &ancestor;
        options.optimizeGoalParent = 1;
        return goalNull(tip, false);
    }
    BoneSegment ancestor;
};

TEST_F(GoalParents, goalIsExpressedInTheAncestorsModelSpaceFrame) {
    std::string record = underAncestor({0, 0, 0}, {0, 2, 0}, 1, {1, 3, 0});
    EXPECT_EQ(keyOf(record, 0) + " " + keyOf(record, 1) + " " + keyOf(record, 2), "1.000000 0.000000 3.000000");
    EXPECT_TRUE(has(record, "ParentItem 40000000"));

    record = underAncestor({0, 0, 0}, {2, 0, 0}, 3, {3, 0, 1});
    EXPECT_EQ(keyOf(record, 0) + " " + keyOf(record, 1) + " " + keyOf(record, 2), "-1.000000 0.000000 3.000000");
    EXPECT_TRUE(has(record, "ParentItem 40020000"));

    record = underAncestor({0, 0, 0}, {1, 1, 1}, 1, {3, 0, 1});
    EXPECT_EQ(keyOf(record, 0) + " " + keyOf(record, 1) + " " + keyOf(record, 2), "1.414214 -1.632993 2.309401");
}

TEST_F(GoalParents, withoutTheOptionTheGoalStaysInModelSpace) {
    underAncestor({0, 0, 0}, {0, 2, 0}, 1, {-2, 3, 0});
    options.optimizeGoalParent = 0;
    std::string record = goalNull(tip, false);
    EXPECT_EQ(keyOf(record, 0) + " " + keyOf(record, 1) + " " + keyOf(record, 2), "-2.000000 3.000000 0.000000");
    EXPECT_TRUE(has(record, "ParentItem 10000000"));
    record = goalNull(tip, true);
    EXPECT_EQ(keyOf(record, 2), "1.000000");
    EXPECT_EQ(keyOf(record, 3) + keyOf(record, 5) + keyOf(record, 6) + keyOf(record, 8), "0011");
    const std::string tail = "ParentItem 10000000\r\nUnaffectedByFog 1\r\nUnseenByRays 1\r\nUnseenByCamera 1\r\n"
                             "ShadowOptions 0\r\n\r\n";
    EXPECT_EQ(record.substr(record.size() - tail.size()), tail);
}

TEST_F(GoalParents, ancestorsWithTheOwnNameArePassedOver) {
    // Body <- Arm (first curve) <- Arm (second curve): the second Arm's goal
    // hangs under the Body bone the first Arm starts from.
    Curve secondArm;
    std::strcpy(secondArm.name, "Arm");
    BoneSegment bodyBone, firstArm[2], second;
    placeSegment(bodyBone, {0, 0, 0}, {0, 1, 0});
    bodyBone.curve = &body;
    bodyBone.boneNumber = 1;
    for (BoneSegment &s : firstArm)
        s.curve = &arm;
    firstArm[0].parent = &bodyBone;
    firstArm[1].parent = &firstArm[0];
    second.curve = &secondArm;
    second.parent = &firstArm[1];
    EXPECT_EQ(spindle::findGoalParent(second), &bodyBone);
    EXPECT_EQ(spindle::findGoalParent(firstArm[1]), &bodyBone);
    EXPECT_EQ(spindle::findGoalParent(bodyBone), nullptr);

    std::strcpy(body.name, "Arm");
    EXPECT_EQ(spindle::findGoalParent(second), nullptr);
    std::strcpy(body.name, "arm"); // names compare case-sensitively
    EXPECT_EQ(spindle::findGoalParent(second), &bodyBone);
}

TEST_F(GoalParents, chainOfOneNameIsWrittenAsWithoutTheOption) {
    const std::string optimized = underAncestor({0, 0, 0}, {0, 2, 0}, 1, {1, 3, 0});
    std::strcpy(body.name, "Arm");
    const std::string sameName = goalNull(tip, false);
    options.optimizeGoalParent = 0;
    EXPECT_EQ(sameName, goalNull(tip, false));
    EXPECT_NE(sameName, optimized);
}

TEST_F(Records, lineBreaksInNamesBecomeUnderscoresAsTheyAreWritten) {
    std::strcpy(arm.name, "Arm\r\nAddLight\r\nLightName Evil\rX\nY");
    tip.parent = nullptr;
    EXPECT_TRUE(has(bone(tip, ChainBone), "BoneName Arm__AddLight__LightName Evil_X_Y"));
    EXPECT_TRUE(has(bone(tip, GoalBone), "BoneName Arm__AddLight__LightName Evil_X_Y_GoalBone"));
    const std::string goal = goalNull(tip, true);
    EXPECT_TRUE(has(goal, "AddNullObject Arm__AddLight__LightName Evil_X_Y_Goal"));
    EXPECT_EQ(goal.find("\nAddLight"), std::string::npos);
    EXPECT_STREQ(arm.name, "Arm\r\nAddLight\r\nLightName Evil\rX\nY");
}

} // namespace
