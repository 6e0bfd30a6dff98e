// Where the scene goes: opening, replacing an existing file safely, and the
// messages of a path that cannot be opened or a file that cannot be written.
#include "scene/scene_file_fixture.h"
#include "support/golden.h"

namespace {

using namespace scenetest;
using spindle::SceneResult;

TEST_F(SceneFile, emptyPathCannotBeOpened) {
    EXPECT_EQ(write(""), SceneResult::NotOpened);
    EXPECT_EQ(scenetest::messageLog, "error: Can't open \"\". \n");
}

TEST_F(SceneFile, missingFolderShowsTheWholePathHoweverLong) {
    std::string target = testsupport::join(folder, "missing folder") + "/";
    target += std::string(spindle::kPathSize - 1 - target.size(), 'x');
    ASSERT_EQ(target.size(), 1023u);
    EXPECT_EQ(write(target), SceneResult::NotOpened);
    EXPECT_EQ(scenetest::messageLog, "error: Can't open \"" + target + "\". \n");
    EXPECT_EQ(names(), Names{});
}

TEST_F(SceneFile, folderCannotBeOpenedAsScene) {
    EXPECT_EQ(write(folder), SceneResult::NotOpened);
    EXPECT_EQ(write(testsupport::join(folder, "new") + "/"), SceneResult::NotOpened);
    EXPECT_EQ(write(folder + "/"), SceneResult::NotOpened);
#if defined(_WIN32)
    EXPECT_EQ(write(folder + "\\"), SceneResult::NotOpened);
#endif
    EXPECT_EQ(names(), Names{});
}

// (On Windows the new file takes the permissions its folder gives any new
// file, as MoveFileEx leaves them.)
TEST_F(SceneFile, existingFileIsReplacedAndKeepsItsPermissions) {
    ASSERT_TRUE(testsupport::writeFile(path, "old scene"));
#if !defined(_WIN32)
    fs::permissions(path, fs::perms(0640));
#endif
    EXPECT_EQ(write(path), SceneResult::Written);
    EXPECT_TRUE(testsupport::sameText(testsupport::readFile(path), expected));
#if !defined(_WIN32)
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
#endif
    EXPECT_EQ(names(), Names{"scene.lws"});
    EXPECT_EQ(scenetest::messageLog, "info: Scene file created.\n");
}

TEST_F(SceneFile, newFileIsCreatedAsAnyNewFileWouldBe) {
#if !defined(_WIN32)
    const mode_t old = umask(027);
#endif
    EXPECT_EQ(write(path), SceneResult::Written);
    const std::string other = testsupport::join(folder, "other");
    ASSERT_TRUE(testsupport::writeFile(other, ""));
#if !defined(_WIN32)
    umask(old);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
#endif
    EXPECT_EQ(fs::status(path).permissions(), fs::status(other).permissions());
    fs::remove(other);
    EXPECT_EQ(names(), Names{"scene.lws"});
}

TEST_F(SceneFile, writeFailureKeepsTheOldFileAndLeavesNoTemporary) {
    WRITES_FAIL_ON_A_FULL_VOLUME();
    ASSERT_TRUE(testsupport::writeFile(path, "old scene"));
    std::string log;
    EXPECT_EQ(writeFailing(path, log), static_cast<int>(SceneResult::NotWritten));
    EXPECT_EQ(log, "error: Can't write \"" + path + "\". \n");
    EXPECT_EQ(testsupport::readFile(path), "old scene");
    EXPECT_EQ(names(), Names{"scene.lws"});
}

TEST_F(SceneFile, writeFailureOnANewFileLeavesNothing) {
    WRITES_FAIL_ON_A_FULL_VOLUME();
    std::string log;
    EXPECT_EQ(writeFailing(path, log), static_cast<int>(SceneResult::NotWritten));
    EXPECT_EQ(log, "error: Can't write \"" + path + "\". \n");
    EXPECT_EQ(names(), Names{});
}

TEST_F(SceneFile, fullDeviceIsReportedAsNotWritten) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows has no device that is always full; a full volume stands for it in the other tests";
#else
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(write("/dev/full"), SceneResult::NotWritten);
    EXPECT_EQ(scenetest::messageLog, "error: Can't write \"/dev/full\". \n");
#endif
}

// On Windows: the read-only attribute (the test's user may write anything).
TEST_F(SceneFile, fileThatMayNotBeWrittenCannotBeOpened) {
    ASSERT_TRUE(testsupport::writeFile(path, "old scene"));
    fs::permissions(path, kWriteBits, fs::perm_options::remove);
    std::string log;
#if defined(_WIN32)
    EXPECT_EQ(write(path), SceneResult::NotOpened);
    log = scenetest::messageLog;
#else
    fs::permissions(folder, fs::perms::all);
    EXPECT_EQ(scenetest::runInChild([&] { return static_cast<int>(write(path)); }, log, stranger()),
              static_cast<int>(SceneResult::NotOpened));
#endif
    EXPECT_EQ(log, "error: Can't open \"" + path + "\". \n");
    EXPECT_EQ(testsupport::readFile(path), "old scene");
    EXPECT_EQ(names(), Names{"scene.lws"});
}

// On Windows: a volume that takes no new file.
TEST_F(SceneFile, folderThatTakesNoNewFileHasItsFileWrittenInPlace) {
    OLD_SCENE_IN_A_FOLDER_THAT_TAKES_NO_NEW_FILE();
    std::string log;
#if defined(_WIN32)
    EXPECT_EQ(write(path), SceneResult::Written);
    log = scenetest::messageLog;
#else
    EXPECT_EQ(scenetest::runInChild([&] { return static_cast<int>(write(path)); }, log, stranger()),
              static_cast<int>(SceneResult::Written));
#endif
    EXPECT_EQ(log, "info: Scene file created.\n");
    EXPECT_TRUE(testsupport::sameText(testsupport::readFile(path), expected));
    EXPECT_EQ(names(), Names{"scene.lws"});
}

} // namespace
