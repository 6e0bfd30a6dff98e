// Where the scene goes: opening, replacing an existing file safely, and the
// messages of a path that cannot be opened or a file that cannot be written.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "scene/scene_fixture.h"
#include "support/support.h"

namespace {

using spindle::SceneResult;

class SceneFile : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = testsupport::makeTempDir();
        ASSERT_FALSE(folder.empty());
        path = folder + "/scene.lws";
        expected = testsupport::readFile(SPINDLE_TEST_DATA "/scenes/typical.lws");
        ASSERT_FALSE(expected.empty());
        scenetest::recordMessages();
        spindle::objectFilePath[0] = '\0';
    }
    void TearDown() override {
        chmod(folder.c_str(), 0700);
        [[maybe_unused]] int ignored = std::system(("rm -rf '" + folder + "'").c_str());
    }

    SceneResult write(const std::string &target) {
        std::strcpy(spindle::sceneFilePath, target.c_str());
        scenetest::TypicalModel model(options);
        return spindle::writeScene(*model.table, *model.goalBones, options);
    }
    // The names in the test folder, sorted.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        if (DIR *dir = opendir(folder.c_str())) {
            while (dirent *entry = readdir(dir))
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    found.push_back(entry->d_name);
            closedir(dir);
        }
        std::sort(found.begin(), found.end());
        return found;
    }
    // A user who is not the owner of root's files.
    static unsigned stranger() { return geteuid() == 0 ? 65534u : 0u; }

    spindle::Options options;
    std::string folder, path, expected;
};

using Names = std::vector<std::string>;

TEST_F(SceneFile, emptyPathCannotBeOpened) {
    EXPECT_EQ(write(""), SceneResult::NotOpened);
    EXPECT_EQ(scenetest::messageLog, "error: Can't open \"\". \n");
}

TEST_F(SceneFile, missingFolderShowsTheWholePathHoweverLong) {
    std::string target = folder + "/missing folder/";
    target += std::string(spindle::kPathSize - 1 - target.size(), 'x');
    ASSERT_EQ(target.size(), 1023u);
    EXPECT_EQ(write(target), SceneResult::NotOpened);
    EXPECT_EQ(scenetest::messageLog, "error: Can't open \"" + target + "\". \n");
    EXPECT_EQ(names(), Names{});
}

TEST_F(SceneFile, folderCannotBeOpenedAsScene) {
    EXPECT_EQ(write(folder), SceneResult::NotOpened);
    EXPECT_EQ(write(folder + "/new/"), SceneResult::NotOpened);
    EXPECT_EQ(write(folder + "/"), SceneResult::NotOpened);
    EXPECT_EQ(names(), Names{});
}

TEST_F(SceneFile, existingFileIsReplacedAndKeepsItsPermissions) {
    ASSERT_TRUE(testsupport::writeFile(path, "old scene"));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    EXPECT_EQ(write(path), SceneResult::Written);
    EXPECT_EQ(testsupport::readFile(path), expected);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(names(), Names{"scene.lws"});
    EXPECT_EQ(scenetest::messageLog, "info: Scene file created.\n");
}

TEST_F(SceneFile, newFileIsCreatedAsAnyNewFileWouldBe) {
    const mode_t old = umask(027);
    EXPECT_EQ(write(path), SceneResult::Written);
    umask(old);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(names(), Names{"scene.lws"});
}

// A file-size limit far below the scene's size makes the writes fail.
int writeUnderSizeLimit(const std::string &target) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {2048, 2048};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return 101;
    scenetest::recordMessages();
    std::strcpy(spindle::sceneFilePath, target.c_str());
    spindle::Options options;
    scenetest::TypicalModel model(options);
    return static_cast<int>(spindle::writeScene(*model.table, *model.goalBones, options));
}

TEST_F(SceneFile, writeFailureKeepsTheOldFileAndLeavesNoTemporary) {
    ASSERT_TRUE(testsupport::writeFile(path, "old scene"));
    std::string log;
    EXPECT_EQ(scenetest::runInChild([&] { return writeUnderSizeLimit(path); }, log),
              static_cast<int>(SceneResult::NotWritten));
    EXPECT_EQ(log, "error: Can't write \"" + path + "\". \n");
    EXPECT_EQ(testsupport::readFile(path), "old scene");
    EXPECT_EQ(names(), Names{"scene.lws"});
}

TEST_F(SceneFile, writeFailureOnANewFileLeavesNothing) {
    std::string log;
    EXPECT_EQ(scenetest::runInChild([&] { return writeUnderSizeLimit(path); }, log),
              static_cast<int>(SceneResult::NotWritten));
    EXPECT_EQ(log, "error: Can't write \"" + path + "\". \n");
    EXPECT_EQ(names(), Names{});
}

TEST_F(SceneFile, fullDeviceIsReportedAsNotWritten) {
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(write("/dev/full"), SceneResult::NotWritten);
    EXPECT_EQ(scenetest::messageLog, "error: Can't write \"/dev/full\". \n");
}

TEST_F(SceneFile, fileThatMayNotBeWrittenCannotBeOpened) {
    ASSERT_TRUE(testsupport::writeFile(path, "old scene"));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
    std::string log;
    EXPECT_EQ(scenetest::runInChild([&] { return static_cast<int>(write(path)); }, log, stranger()),
              static_cast<int>(SceneResult::NotOpened));
    EXPECT_EQ(log, "error: Can't open \"" + path + "\". \n");
    EXPECT_EQ(testsupport::readFile(path), "old scene");
    EXPECT_EQ(names(), Names{"scene.lws"});
}

TEST_F(SceneFile, folderThatTakesNoNewFileHasItsFileWrittenInPlace) {
    ASSERT_TRUE(testsupport::writeFile(path, "old scene"));
    ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    std::string log;
    EXPECT_EQ(scenetest::runInChild([&] { return static_cast<int>(write(path)); }, log, stranger()),
              static_cast<int>(SceneResult::Written));
    EXPECT_EQ(log, "info: Scene file created.\n");
    EXPECT_EQ(testsupport::readFile(path), expected);
    EXPECT_EQ(names(), Names{"scene.lws"});
}

TEST_F(SceneFile, linkIsKeptAndTheFileItLeadsToReplaced) {
    const std::string real = folder + "/real.lws";
    ASSERT_TRUE(testsupport::writeFile(real, "old scene"));
    ASSERT_EQ(symlink("real.lws", path.c_str()), 0);
    EXPECT_EQ(write(path), SceneResult::Written);
    struct stat info;
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(testsupport::readFile(real), expected);
    EXPECT_EQ(names(), (Names{"real.lws", "scene.lws"}));
}

TEST_F(SceneFile, longestNameIsStillReplacedThroughATemporary) {
    const std::string name = std::string(251, 'n') + ".lws";
    const std::string target = folder + "/" + name;
    ASSERT_TRUE(testsupport::writeFile(target, "old scene"));
    std::string log;
    EXPECT_EQ(scenetest::runInChild([&] { return writeUnderSizeLimit(target); }, log),
              static_cast<int>(SceneResult::NotWritten));
    EXPECT_EQ(testsupport::readFile(target), "old scene");
    EXPECT_EQ(names(), Names{name});
    EXPECT_EQ(write(target), SceneResult::Written);
    EXPECT_EQ(testsupport::readFile(target), expected);
}

TEST_F(SceneFile, danglingLinkStaysAndGetsItsFileOnlyWhenWhole) {
    ASSERT_EQ(symlink("real.lws", path.c_str()), 0);
    std::string log;
    EXPECT_EQ(scenetest::runInChild([&] { return writeUnderSizeLimit(path); }, log),
              static_cast<int>(SceneResult::NotWritten));
    EXPECT_EQ(names(), Names{"scene.lws"});
    EXPECT_EQ(write(path), SceneResult::Written);
    struct stat info;
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(testsupport::readFile(folder + "/real.lws"), expected);
    EXPECT_EQ(names(), (Names{"real.lws", "scene.lws"}));
}

TEST_F(SceneFile, linkLoopCannotBeOpened) {
    ASSERT_EQ(symlink("scene.lws", path.c_str()), 0);
    EXPECT_EQ(write(path), SceneResult::NotOpened);
    EXPECT_EQ(scenetest::messageLog, "error: Can't open \"" + path + "\". \n");
    EXPECT_EQ(names(), Names{"scene.lws"});
}

TEST_F(SceneFile, failedWriteInPlacePutsTheOldBytesBack) {
    ASSERT_TRUE(testsupport::writeFile(path, "old scene"));
    ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    std::string log;
    EXPECT_EQ(scenetest::runInChild([&] { return writeUnderSizeLimit(path); }, log, stranger()),
              static_cast<int>(SceneResult::NotWritten));
    EXPECT_EQ(log, "error: Can't write \"" + path + "\". \n");
    EXPECT_EQ(testsupport::readFile(path), "old scene");
    EXPECT_EQ(names(), Names{"scene.lws"});
}

} // namespace
