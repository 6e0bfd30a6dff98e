// A scene path that is a link, or a name too long for a temporary beside
// it, and a write in place that fails: the link stays, the file it leads to
// is replaced, and the old bytes come back after a failure.
#include "scene/scene_file_fixture.h"
#include "support/golden.h"

namespace {

using namespace scenetest;
using spindle::SceneResult;

TEST_F(SceneFile, linkIsKeptAndTheFileItLeadsToReplaced) {
    const std::string real = testsupport::join(folder, "real.lws");
    ASSERT_TRUE(testsupport::writeFile(real, "old scene"));
    if (!testsupport::makeLink("real.lws", path))
        GTEST_SKIP() << testsupport::kNoLinks;
    EXPECT_EQ(write(path), SceneResult::Written);
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_TRUE(testsupport::sameText(testsupport::readFile(real), expected));
    EXPECT_EQ(names(), (Names{"real.lws", "scene.lws"}));
}

TEST_F(SceneFile, longestNameIsStillReplacedThroughATemporary) {
    WRITES_FAIL_ON_A_FULL_VOLUME();
    const std::string name = std::string(251, 'n') + ".lws";
    const std::string target = testsupport::join(folder, name);
    ASSERT_TRUE(testsupport::writeFile(target, "old scene"));
    std::string log;
    EXPECT_EQ(writeFailing(target, log), static_cast<int>(SceneResult::NotWritten));
    EXPECT_EQ(testsupport::readFile(target), "old scene");
    EXPECT_EQ(names(), Names{name});
#if defined(_WIN32)
    ASSERT_TRUE(volume.leave((expected.size() / volume.block + 1) * volume.block));
#endif
    EXPECT_EQ(write(target), SceneResult::Written);
    EXPECT_TRUE(testsupport::sameText(testsupport::readFile(target), expected));
}

TEST_F(SceneFile, danglingLinkStaysAndGetsItsFileOnlyWhenWhole) {
    WRITES_FAIL_ON_A_FULL_VOLUME();
    if (!testsupport::makeLink("real.lws", path))
        GTEST_SKIP() << testsupport::kNoLinks;
    std::string log;
    EXPECT_EQ(writeFailing(path, log), static_cast<int>(SceneResult::NotWritten));
    EXPECT_EQ(names(), Names{"scene.lws"});
    EXPECT_EQ(write(path), SceneResult::Written);
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_TRUE(testsupport::sameText(testsupport::readFile(testsupport::join(folder, "real.lws")), expected));
    EXPECT_EQ(names(), (Names{"real.lws", "scene.lws"}));
}

TEST_F(SceneFile, linkLoopCannotBeOpened) {
    if (!testsupport::makeLink("scene.lws", path))
        GTEST_SKIP() << testsupport::kNoLinks;
    EXPECT_EQ(write(path), SceneResult::NotOpened);
    EXPECT_EQ(scenetest::messageLog, "error: Can't open \"" + path + "\". \n");
    EXPECT_EQ(names(), Names{"scene.lws"});
}

// On Windows: a volume that takes no new file, with one block left.
TEST_F(SceneFile, failedWriteInPlacePutsTheOldBytesBack) {
    OLD_SCENE_IN_A_FOLDER_THAT_TAKES_NO_NEW_FILE();
    std::string log;
#if defined(_WIN32)
    EXPECT_EQ(writeFailing(path, log), static_cast<int>(SceneResult::NotWritten));
#else
    EXPECT_EQ(writeFailing(path, log, stranger()), static_cast<int>(SceneResult::NotWritten));
#endif
    EXPECT_EQ(log, "error: Can't write \"" + path + "\". \n");
    EXPECT_EQ(testsupport::readFile(path), "old scene");
    EXPECT_EQ(names(), Names{"scene.lws"});
}

} // namespace
