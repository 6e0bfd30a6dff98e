// Paths and texts from the user: paths longer than the panel holds, a scene
// that would overwrite the model, and line breaks in texts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/faults_fixture.h"

using namespace faultstest;
using testing::HasSubstr;

namespace {

TEST_F(Faults, pathsLongerThanThePanelHoldsAreRefusedAndTheLongestFitWorks) {
    // 1022 bytes in all, in folders of legal name lengths.
    std::string longest = folder;
    while (longest.size() + 1 + 200 + 1 + 8 < 1022) {
        longest = testsupport::join(longest, std::string(200, 'd'));
        fs::create_directory(longest);
    }
    longest = testsupport::join(longest, std::string(1022 - longest.size() - 1 - 4, 's') + ".lws");
    ASSERT_EQ(longest.size(), 1022u);
    const testsupport::CommandRun fits = testsupport::runSpindle({"-o", longest, "--object", longest, model});
    EXPECT_EQ(fits.status, 0);
    EXPECT_THAT(testsupport::readFile(longest), HasSubstr("LoadObjectLayer 1 " + longest + "\r\n"));

    const std::string tooLong = longest.substr(0, longest.size() - 4) + "x.lws";
    const testsupport::CommandRun scene = testsupport::runSpindle({"-o", tooLong, model});
    EXPECT_EQ(scene.status, 2);
    EXPECT_EQ(scene.err,
              "spindle: option --scene takes a path of at most 1022 bytes (the panel's text controls hold no more)\n");
    const testsupport::CommandRun object = testsupport::runSpindle({"--object", tooLong, model});
    EXPECT_EQ(object.status, 2);
    EXPECT_EQ(object.err,
              "spindle: option --object takes a path of at most 1022 bytes (the panel's text controls hold no more)\n");
    EXPECT_FALSE(fs::exists(tooLong));
    EXPECT_FALSE(fs::exists(tooLong.substr(0, 1022)));
}

TEST_F(Faults, sceneThatWouldOverwriteTheModelIsRefused) {
    const std::string original = testsupport::readFile(model);
    std::vector<std::string> spellings = {model, testsupport::join(testsupport::join(folder, "."), "rig.obj")};
#if defined(_WIN32)
    // Windows spells one file in more ways: with either separator, in any case.
    spellings.push_back(folder + "/RIG.OBJ");
#else
    ASSERT_TRUE(testsupport::makeLink("rig.obj", testsupport::join(folder, "link.lws")));
    spellings.push_back(testsupport::join(folder, "link.lws"));
#endif
    for (const std::string &target : spellings) {
        const testsupport::CommandRun run = testsupport::runSpindle({"-o", target, model});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "spindle: " + target + ": would overwrite the model; name another scene with -o\n");
    }
    const std::string lwsModel = testsupport::join(folder, "x.lws");
    ASSERT_TRUE(testsupport::writeFile(lwsModel, original));
    const testsupport::CommandRun byDefault = testsupport::runSpindle({lwsModel});
    EXPECT_EQ(byDefault.err, "spindle: " + lwsModel + ": would overwrite the model; name another scene with -o\n");
    EXPECT_EQ(testsupport::readFile(model), original);
    EXPECT_EQ(testsupport::readFile(lwsModel), original);
}

TEST_F(Faults, lineBreaksInTextsNeitherSplitSceneLinesNorMessages) {
    const testsupport::CommandRun run =
        testsupport::runSpindle({"--object", "a\r\nAddLight\rb\nc", "-o", scene, model});
    EXPECT_EQ(run.status, 0);
    const std::string text = testsupport::readFile(scene);
    EXPECT_THAT(text, HasSubstr("\r\nLoadObjectLayer 1 a__AddLight_b_c\r\n"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(text.begin(), text.end(), '\r'));

    const std::string forged = testsupport::join(testsupport::join(folder, "no\nspindle: forged\x01"), "rig.lws");
    const testsupport::CommandRun message = testsupport::runSpindle({"-o", forged, model});
    EXPECT_EQ(message.status, 1);
    EXPECT_EQ(message.err,
              "Can't open \"" + testsupport::join(testsupport::join(folder, "no\\nspindle: forged\\x01"), "rig.lws") +
                  "\". \n");
}

} // namespace
