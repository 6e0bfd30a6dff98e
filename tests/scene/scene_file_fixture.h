// The fixture of the scene file tests: a fresh folder, the typical scene
// written into it, and writes made to fail part way (under a file-size limit
// in a child process on POSIX, on a volume with one block left on Windows).
#pragma once

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
#include "support/support.h"

namespace scenetest {

namespace fs = std::filesystem;
using spindle::SceneResult;

#if defined(_WIN32)
inline constexpr char kManyFiles[] =
    "SPINDLE_FULL_VOLUME takes thousands of files (a tmpfs for it wants a small nr_inodes)";
#endif
inline constexpr fs::perms kWriteBits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

class SceneFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(folder.empty());
        path = testsupport::join(folder, "scene.lws");
        expected = testsupport::readFile(SPINDLE_TEST_DATA "/scenes/typical.lws");
        ASSERT_FALSE(expected.empty());
        scenetest::recordMessages();
        spindle::objectFilePath[0] = '\0';
    }

    SceneResult write(const std::string &target) {
        std::strcpy(spindle::sceneFilePath, target.c_str());
        scenetest::TypicalModel model(options);
        return spindle::writeScene(*model.table, *model.goalBones, options);
    }
    // The names in the test folder, sorted.
    std::vector<std::string> names() const { return testsupport::namesIn(folder); }

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
    testsupport::TempDir temp;
    std::string folder = temp.path, path, expected;
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

// The preamble of a test whose folder takes no new file: "old scene" at
// `path`, in a folder that refuses new files (POSIX: read-only, the file
// writable by anyone), or on Windows on a volume that takes no new file, or
// the test is skipped.
#if defined(_WIN32)
#define OLD_SCENE_IN_A_FOLDER_THAT_TAKES_NO_NEW_FILE()                                                                 \
    WRITES_FAIL_ON_A_FULL_VOLUME();                                                                                    \
    ASSERT_TRUE(testsupport::writeFile(path, "old scene"));                                                            \
    if (!volume.takeNoNewFile())                                                                                       \
    GTEST_SKIP() << kManyFiles
#else
#define OLD_SCENE_IN_A_FOLDER_THAT_TAKES_NO_NEW_FILE()                                                                 \
    ASSERT_TRUE(testsupport::writeFile(path, "old scene"));                                                            \
    fs::permissions(path, fs::perms(0666));                                                                            \
    fs::permissions(folder, fs::perms(0555))
#endif

using Names = std::vector<std::string>;

} // namespace scenetest
