// The command under faults of the file system: for each, the message, the
// exit status, the old scene's bytes unchanged or the new scene whole, and
// no temporary left behind.  Where Windows cannot make a fault (file-size
// limits, other users), its own kind of the fault stands in for it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <filesystem>

#include "cli/faults_fixture.h"

using namespace faultstest;
using testing::HasSubstr;

namespace {

#if defined(_WIN32)
// Windows has no file-size limit; a volume with too little room left stands
// for one, and room for exactly the scene's blocks for the exact size.
TEST_F(Faults, fullVolumeIsReportedAndKeepsTheOldScene) {
    testsupport::FullVolume volume;
    if (!volume.available())
        GTEST_SKIP() << volume.reason;
    const std::string whole = wholeScene();
    const std::string target = testsupport::join(volume.folder, "rig.lws");
    const std::uint64_t blocks = (whole.size() + volume.block - 1) / volume.block;
    ASSERT_GT(blocks, 1u);
    for (const std::uint64_t free : {std::uint64_t(0), std::uint64_t(1), blocks - 1}) {
        ASSERT_TRUE(testsupport::writeFile(target, "old scene"));
        ASSERT_TRUE(volume.leave(free * volume.block)) << free;
        const testsupport::CommandRun run = testsupport::runSpindle({"-o", target, model});
        EXPECT_EQ(run.status, 1) << free << " blocks free";
        EXPECT_EQ(run.err, cantWrite(target)) << free << " blocks free";
        EXPECT_EQ(testsupport::readFile(target), "old scene") << free << " blocks free";
        EXPECT_EQ(names(volume.folder), Names{"rig.lws"}) << free << " blocks free";
    }
    ASSERT_TRUE(testsupport::writeFile(target, "old scene"));
    ASSERT_TRUE(volume.leave(blocks * volume.block));
    EXPECT_EQ(testsupport::runSpindle({"-o", target, model}).status, 0);
    EXPECT_EQ(testsupport::readFile(target), whole);
}

// A read-only scene, or one another program holds open sharing it with no
// one, may not be written: the old bytes stay.  One held open by a program
// that lets others read and write it, but not replace it, refuses the move
// and is written in place.
TEST_F(Faults, scenesThatMayNotBeReplacedAreKeptOrWrittenInPlace) {
    const std::string whole = wholeScene();
    ASSERT_TRUE(testsupport::writeFile(scene, "old scene"));
    fs::permissions(scene, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const testsupport::CommandRun readOnly = testsupport::runSpindle({model});
    EXPECT_EQ(readOnly.status, 1);
    EXPECT_EQ(readOnly.err, cantOpen(scene));
    EXPECT_EQ(testsupport::readFile(scene), "old scene");
    EXPECT_EQ(names(folder), (Names{"rig.lws", "rig.obj"}));
    fs::permissions(scene, fs::perms::owner_write, fs::perm_options::add);
    {
        const testsupport::HeldFile held(scene, testsupport::HeldFile::Nothing);
        ASSERT_TRUE(held.held());
        const testsupport::CommandRun run = testsupport::runSpindle({model});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, cantOpen(scene));
        EXPECT_EQ(names(folder), (Names{"rig.lws", "rig.obj"}));
    }
    EXPECT_EQ(testsupport::readFile(scene), "old scene");
    const testsupport::HeldFile held(scene, testsupport::HeldFile::ReadAndWrite);
    ASSERT_TRUE(held.held());
    const testsupport::CommandRun run = testsupport::runSpindle({model});
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(testsupport::readFile(scene), whole);
    EXPECT_EQ(names(folder), (Names{"rig.lws", "rig.obj"}));
}
#else
TEST_F(Faults, fileSizeLimitsAreReportedAndKeepTheOldScene) {
    const std::string whole = wholeScene();
    ASSERT_GT(whole.size(), 4096u);
    for (const long long limit : {0LL, 1LL, 4096LL, static_cast<long long>(whole.size()) - 1}) {
        ASSERT_TRUE(testsupport::writeFile(scene, "old scene"));
        testsupport::CommandConditions conditions;
        conditions.fileSizeLimit = limit;
        const testsupport::CommandRun run = testsupport::runSpindle({model}, conditions);
        EXPECT_EQ(run.status, 1) << limit;
        EXPECT_EQ(run.err, cantWrite(scene)) << limit;
        EXPECT_EQ(testsupport::readFile(scene), "old scene") << limit;
        EXPECT_EQ(names(folder), (Names{"rig.lws", "rig.obj"})) << limit;
    }
    testsupport::CommandConditions exact;
    exact.fileSizeLimit = static_cast<long long>(whole.size());
    EXPECT_EQ(testsupport::runSpindle({model}, exact).status, 0);
    EXPECT_EQ(testsupport::readFile(scene), whole);
}

// A read-only folder takes no new file; a sticky folder refuses to move a
// file over another user's.  Either way the writable scene is written in
// place, and a failed write there puts the old bytes back.
TEST_F(Faults, foldersThatRefuseTheMoveHaveTheirWritableSceneWrittenInPlace) {
    if (stranger() == 0)
        GTEST_SKIP() << "needs root to run as a user who owns neither folder nor scene";
    const std::string whole = wholeScene();
    const std::string command = strangersCommand();
    for (const fs::perms folderMode : {fs::perms(0555), fs::perms(01777)}) {
        ASSERT_TRUE(testsupport::writeFile(scene, "old scene"));
        fs::permissions(scene, fs::perms(0666));
        fs::permissions(folder, folderMode);
        testsupport::CommandConditions conditions;
        conditions.uid = stranger();
        conditions.program = command;
        const testsupport::CommandRun run = testsupport::runSpindle({model}, conditions);
        EXPECT_EQ(run.err, "") << std::oct << int(folderMode);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(testsupport::readFile(scene), whole);
        ASSERT_TRUE(testsupport::writeFile(scene, "old scene"));
        conditions.fileSizeLimit = 4096;
        const testsupport::CommandRun limited = testsupport::runSpindle({model}, conditions);
        EXPECT_EQ(limited.status, 1);
        EXPECT_EQ(limited.err, cantWrite(scene));
        EXPECT_EQ(testsupport::readFile(scene), "old scene");
        EXPECT_EQ(names(folder), (Names{"rig.lws", "rig.obj"}));
        fs::permissions(folder, fs::perms::all);
    }
}
#endif

TEST_F(Faults, pathsThatCannotBeOpenedAreCantOpenAndTouchNothing) {
    const std::string sub = testsupport::join(folder, "sub");
    fs::create_directory(sub);
    std::vector<std::string> targets = {sub, sub + "/",
                                        testsupport::join(testsupport::join(folder, "missing"), "rig.lws")};
    Names left = {"rig.obj", "sub"};
#if defined(_WIN32)
    // A name Windows refuses (it holds a wildcard) stands for the link loop.
    targets.push_back(sub + "\\");
    targets.push_back(testsupport::join(folder, "rig?.lws"));
#else
    ASSERT_TRUE(testsupport::makeLink("loop.lws", testsupport::join(folder, "loop.lws")));
    targets.push_back(testsupport::join(folder, "loop.lws"));
    left.insert(left.begin(), "loop.lws");
#endif
    for (const std::string &target : targets) {
        const testsupport::CommandRun run = testsupport::runSpindle({"-o", target, model});
        EXPECT_EQ(run.status, 1) << target;
        EXPECT_EQ(run.err, cantOpen(target));
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(names(folder), left);
    EXPECT_EQ(names(sub), Names{});
}

TEST_F(Faults, devicesAndFifosAreWrittenAsTheyAreAndNeverReadBack) {
#if defined(_WIN32)
    const std::string nothing = "NUL";
#else
    const std::string nothing = "/dev/null";
#endif
    const testsupport::CommandRun null = testsupport::runSpindle({"-o", nothing, model});
    EXPECT_EQ(null.status, 0);
    EXPECT_EQ(null.err, "spindle: " + nothing + ": not a regular file, so the scene is not read back\n");
    const std::string whole = wholeScene();
#if defined(_WIN32)
    // Windows has no FIFO files: a named pipe, its reader there before the run.
    testsupport::ServedPipe pipe;
    const testsupport::CommandRun run = testsupport::runSpindle({"-q", "-o", pipe.path, model});
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(pipe.close() == whole);
#else
    const std::string fifo = testsupport::join(folder, "pipe.lws");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A reader that is there before the run; the scene fits the pipe.
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(testsupport::runSpindle({"-q", "-o", fifo, model}).status, 0);
    std::string received;
    char buffer[4096];
    for (ssize_t n; (n = read(reader, buffer, sizeof buffer)) > 0;)
        received.append(buffer, static_cast<size_t>(n));
    close(reader);
    EXPECT_EQ(received, whole);
#endif
}

TEST_F(Faults, danglingLinkStaysAndItsFileIsCreatedWhole) {
    const std::string whole = wholeScene();
    const std::string elsewhere = testsupport::join(folder, "elsewhere");
    fs::create_directory(elsewhere);
    if (!testsupport::makeLink("elsewhere/real.lws", scene))
        GTEST_SKIP() << testsupport::kNoLinks;
#if !defined(_WIN32)
    testsupport::CommandConditions limited;
    limited.fileSizeLimit = 4096;
    EXPECT_EQ(testsupport::runSpindle({model}, limited).err, cantWrite(scene));
    EXPECT_EQ(names(elsewhere), Names{});
#endif
    EXPECT_EQ(testsupport::runSpindle({model}).status, 0);
    EXPECT_TRUE(fs::is_symlink(scene));
    EXPECT_EQ(testsupport::readFile(testsupport::join(elsewhere, "real.lws")), whole);
    EXPECT_EQ(names(folder), (Names{"elsewhere", "rig.lws", "rig.obj"}));
}

} // namespace
