// The whole scene file of a typical run, byte for byte, under each option
// that changes it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>

#include "scene/scene_fixture.h"
#include "support/golden.h"
#include "support/support.h"
#include "support/variants.h"

namespace {

using spindle::Options;
using spindle::SceneResult;

using Variant = testsupport::GoldenVariant;

class TypicalScene : public ::testing::TestWithParam<Variant> {
  protected:
    void SetUp() override {
        ASSERT_FALSE(folder.empty());
        scenetest::recordMessages();
    }

    // Writes the typical model with `variant` and returns the file's bytes.
    std::string writeTypical(const Variant &variant) {
        scenetest::TypicalModel model(variant.options, variant.armHasNgSuffix);
        const std::string path = testsupport::join(folder, "out.lws");
        std::strcpy(spindle::sceneFilePath, path.c_str());
        std::strcpy(spindle::objectFilePath, variant.objectPath);
        EXPECT_EQ(spindle::writeScene(*model.table, *model.goalBones, variant.options), SceneResult::Written);
        return testsupport::readFile(path);
    }

    testsupport::TempDir temp;
    std::string folder = temp.path;
};

TEST_P(TypicalScene, matchesExpectedFileByteForByte) {
    const Variant &variant = GetParam();
    const std::string expected = testsupport::readFile(std::string(SPINDLE_TEST_DATA "/scenes/") + variant.golden);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(testsupport::sameText(writeTypical(variant), expected)) << variant.golden;
    EXPECT_EQ(scenetest::messageLog, "info: Scene file created.\n");
}

TEST_P(TypicalScene, secondRunHandsOutTheSameGoalNumbers) {
    const Variant &variant = GetParam();
    const std::string first = writeTypical(variant);
    EXPECT_EQ(writeTypical(variant), first);
}

INSTANTIATE_TEST_SUITE_P(Options, TypicalScene, ::testing::ValuesIn(testsupport::goldenVariants()),
                         [](const ::testing::TestParamInfo<Variant> &info) {
                             return testsupport::variantName(info.param);
                         });

// Counts of the blocks the typical file must hold, read from the expected
// file itself, so that a wrong expected file cannot pass unnoticed.
TEST(TypicalSceneFile, holdsTheBlocksOfTheTypicalRun) {
    const std::string text = testsupport::readFile(SPINDLE_TEST_DATA "/scenes/typical.lws");
    auto count = [&](const std::string &needle) {
        size_t n = 0;
        for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("\r\n"), 712u);
    EXPECT_EQ(count("\n"), 712u);
    EXPECT_EQ(count("AddBone\r\n"), 7u);
    EXPECT_EQ(count("GoalObject "), 2u);
    EXPECT_NE(text.find("GoalObject 2\r\n"), std::string::npos);
    EXPECT_NE(text.find("GoalObject 3\r\n"), std::string::npos);
    EXPECT_EQ(count("AddNullObject "), 3u); // NULL and two goals
    EXPECT_EQ(text.substr(text.size() - 18), "ShowFieldChart 0\r\n");
}

} // namespace
