// Where the scene goes: opening, replacing an existing file safely, and the
// messages of a path that cannot be opened or a file that cannot be written.
// A write fails part way under a file-size limit in a child process (POSIX)
// or on a volume with one block left (Windows, which has no such limit).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "scene/scene_fixture.h"
#include "support/golden.h"
#include "support/support.h"

namespace {

namespace fs = std::filesystem;
using spindle::SceneResult;

#if defined(_WIN32)
constexpr char kManyFiles[] = "SPINDLE_FULL_VOLUME takes thousands of files (a tmpfs for it wants a small nr_inodes)";
#endif
constexpr fs::perms kWriteBits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

class SceneFile : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = testsupport::makeTempDir();
        ASSERT_FALSE(folder.empty());
        path = testsupport::join(folder, "scene.lws");
        expected = testsupport::readFile(SPINDLE_TEST_DATA "/scenes/typical.lws");
        ASSERT_FALSE(expected.empty());
        scenetest::recordMessages();
        spindle::objectFilePath[0] = '\0';
    }
    void TearDown() override { testsupport::removeTree(folder); }

    SceneResult write(const std::string &target) {
        std::strcpy(spindle::sceneFilePath, target.c_str());
        scenetest::TypicalModel model(options);
        return spindle::writeScene(*model.table, *model.goalBones, options);
    }
    // The names in the test folder, sorted.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        std::error_code ignored;
        for (const auto &entry : fs::directory_iterator(folder, ignored))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

#if defined(_WIN32)
    // Moves the test's folder onto `volume`; false when there is none.
    bool moveOnto(testsupport::FullVolume &volume) {
        if (!volume.available())
            return false;
        fs::remove(folder);
        folder = volume.folder;
        path = testsupport::join(folder, "scene.lws");
        full = &volume;
        return true;
    }
    // Writes the scene to `target` with one block left on the volume.
    int writeFailing(const std::string &target, std::string &log) {
        if (!full->leave(full->block))
            return -1;
        scenetest::recordMessages();
        const int result = static_cast<int>(write(target));
        log = scenetest::messageLog;
        return result;
    }
    testsupport::FullVolume *full = nullptr;
#else
    // A user who is not the owner of root's files.
    static unsigned stranger() { return geteuid() == 0 ? 65534u : 0u; }
    // Writes the scene to `target` under a file-size limit far below its
    // size, in a child process (as `user` unless it is 0).
    int writeFailing(const std::string &target, std::string &log, unsigned user = 0) {
        return scenetest::runInChild(
            [&] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit = {2048, 2048};
                if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                    return 101;
                scenetest::recordMessages();
                return static_cast<int>(write(target));
            },
            log, user);
    }
#endif

    spindle::Options options;
    std::string folder, path, expected;
};

// The preamble of a test that makes writes fail: on Windows its folder is
// moved onto a volume it can fill, or the test is skipped.
#if defined(_WIN32)
#define WRITES_FAIL_ON_A_FULL_VOLUME()                                                                                 \
    testsupport::FullVolume volume;                                                                                    \
    if (!moveOnto(volume))                                                                                             \
    GTEST_SKIP() << volume.reason
#else
#define WRITES_FAIL_ON_A_FULL_VOLUME() (void)0
#endif

using Names = std::vector<std::string>;

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
    WRITES_FAIL_ON_A_FULL_VOLUME();
    ASSERT_TRUE(testsupport::writeFile(path, "old scene"));
    std::string log;
#if defined(_WIN32)
    if (!volume.takeNoNewFile())
        GTEST_SKIP() << kManyFiles;
    EXPECT_EQ(write(path), SceneResult::Written);
    log = scenetest::messageLog;
#else
    fs::permissions(path, fs::perms(0666));
    fs::permissions(folder, fs::perms(0555));
    EXPECT_EQ(scenetest::runInChild([&] { return static_cast<int>(write(path)); }, log, stranger()),
              static_cast<int>(SceneResult::Written));
#endif
    EXPECT_EQ(log, "info: Scene file created.\n");
    EXPECT_TRUE(testsupport::sameText(testsupport::readFile(path), expected));
    EXPECT_EQ(names(), Names{"scene.lws"});
}

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
    WRITES_FAIL_ON_A_FULL_VOLUME();
    ASSERT_TRUE(testsupport::writeFile(path, "old scene"));
    std::string log;
#if defined(_WIN32)
    if (!volume.takeNoNewFile())
        GTEST_SKIP() << kManyFiles;
    EXPECT_EQ(writeFailing(path, log), static_cast<int>(SceneResult::NotWritten));
#else
    fs::permissions(path, fs::perms(0666));
    fs::permissions(folder, fs::perms(0555));
    EXPECT_EQ(writeFailing(path, log, stranger()), static_cast<int>(SceneResult::NotWritten));
#endif
    EXPECT_EQ(log, "error: Can't write \"" + path + "\". \n");
    EXPECT_EQ(testsupport::readFile(path), "old scene");
    EXPECT_EQ(names(), Names{"scene.lws"});
}

} // namespace
