// The command under faults of the file system, interrupts and hostile
// paths: for each, the message, the exit status, the old scene's bytes
// unchanged or the new scene whole, and no temporary left behind.  Where
// Windows cannot make a fault (file-size limits, other users, signals), its
// own kind of the fault stands in for it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <thread>

#include "readers/bytes.h"
#include "support/module.h"
#include "support/support.h"

using testing::HasSubstr;

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class Faults : public testing::Test {
  protected:
    void SetUp() override {
        folder = testsupport::makeTempDir();
        ASSERT_FALSE(folder.empty());
        fs::permissions(folder, fs::perms::all);
        model = testsupport::join(folder, "rig.obj");
        ASSERT_TRUE(testsupport::writeFile(
            model, "v 0 0 0\nv 0 1 0\nv 0 2 0\nv 1 1 0\nusemtl Spine\nl 1 2 3\nusemtl Arm\nl 2 4\n"));
        scene = testsupport::join(folder, "rig.lws");
    }
    void TearDown() override { testsupport::removeTree(folder); }

    // The scene a clean run writes for the rig.
    std::string wholeScene() {
        const std::string reference = testsupport::join(folder, "reference.lws");
        EXPECT_EQ(testsupport::runSpindle({"-o", reference, model}).status, 0);
        std::string bytes = testsupport::readFile(reference);
        fs::remove(reference);
        return bytes;
    }
    // The names in `in`, sorted, temporaries included.
    static Names names(const std::string &in) {
        Names found;
        for (const auto &entry : fs::directory_iterator(in))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
    static std::string cantOpen(const std::string &path) { return "Can't open \"" + path + "\". \n"; }
    static std::string cantWrite(const std::string &path) { return "Can't write \"" + path + "\". \n"; }
#if !defined(_WIN32)
    // A user who owns none of the test's files; 0 when the tests cannot
    // switch users.
    static unsigned stranger() { return geteuid() == 0 ? 65534u : 0u; }
#endif

    std::string folder, model, scene;
};

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
    for (const fs::perms folderMode : {fs::perms(0555), fs::perms(01777)}) {
        ASSERT_TRUE(testsupport::writeFile(scene, "old scene"));
        fs::permissions(scene, fs::perms(0666));
        fs::permissions(folder, folderMode);
        testsupport::CommandConditions conditions;
        conditions.uid = stranger();
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

TEST_F(Faults, twoRunsOnOneSceneAlwaysLeaveOneWholeScene) {
    const std::string whole = wholeScene();
    const std::string other = testsupport::join(folder, "other.obj");
    ASSERT_TRUE(testsupport::writeFile(other, "v 0 0 0\nv 0 0 5\nusemtl Other\nl 1 2\n"));
    ASSERT_EQ(testsupport::runSpindle({"-o", scene, other}).status, 0);
    const std::string otherWhole = testsupport::readFile(scene);
    for (int round = 0; round < 10; ++round) {
        testsupport::CommandRun first, second;
        std::thread a([&] { first = testsupport::runSpindle({"-o", scene, model}); });
        std::thread b([&] { second = testsupport::runSpindle({"-o", scene, other}); });
        a.join();
        b.join();
        EXPECT_EQ(first.status, 0) << first.err;
        EXPECT_EQ(second.status, 0) << second.err;
        const std::string result = testsupport::readFile(scene);
        EXPECT_TRUE(result == whole || result == otherWhole) << "round " << round;
        EXPECT_EQ(names(folder), (Names{"other.obj", "rig.lws", "rig.obj"}));
    }
}

// A deep rig, so that a run lasts long enough to be interrupted in any of
// its parts.
std::string deepRig() {
    std::string text;
    for (int i = 0; i <= 3000; ++i)
        text += "v 0 " + std::to_string(i) + " " + std::to_string(i % 7) + "\n";
    for (int curve = 0; curve < 3; ++curve) {
        text += "usemtl Part" + std::to_string(curve) + "\nl";
        for (int i = curve * 1000; i <= curve * 1000 + 1000; ++i)
            text += " " + std::to_string(i + 1);
        text += "\n";
    }
    return text;
}

#if defined(_WIN32)
// Wine gives a test no console to send Ctrl-C or Ctrl-Break through, so
// runs are ended with TerminateProcess instead, at moments from their start
// until one runs to its end: the scene is the old one or the new one whole.
// Like SIGKILL, TerminateProcess gives the run no chance to remove its
// temporary, so one may stay; it is never the scene.
TEST_F(Faults, runsEndedAtAnyMomentLeaveTheOldOrTheWholeScene) {
    ASSERT_TRUE(testsupport::writeFile(model, deepRig()));
    const std::string whole = wholeScene();
    int ended = 0;
    for (int afterMs = 0;; afterMs += 1 + afterMs / 4) {
        ASSERT_TRUE(testsupport::writeFile(scene, "old scene"));
        testsupport::CommandConditions conditions;
        conditions.terminateAfterMs = afterMs;
        const testsupport::CommandRun run = testsupport::runSpindle({model}, conditions);
        ASSERT_TRUE(run.status == 0 || run.status == testsupport::kTerminated) << run.status;
        const std::string result = testsupport::readFile(scene);
        EXPECT_TRUE(result == "old scene" || result == whole) << "ended after " << afterMs << " ms";
        for (const std::string &name : names(folder))
            if (name != "rig.lws" && name != "rig.obj") {
                EXPECT_EQ(name.rfind(".spindle-", 0), 0u) << name;
                EXPECT_NE(run.status, 0) << name;
                fs::remove(testsupport::join(folder, name));
            }
        if (run.status == 0)
            break;
        ++ended;
    }
    EXPECT_GT(ended, 0);
}
#else
TEST_F(Faults, interruptsNeverLeaveAHalfSceneOrATemporary) {
    // Many signals arrive while the module runs.
    ASSERT_TRUE(testsupport::writeFile(model, deepRig()));
    const std::string whole = wholeScene();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        for (const int afterMs : {0, 5, 20, 60}) {
            ASSERT_TRUE(testsupport::writeFile(scene, "old scene"));
            testsupport::CommandConditions conditions;
            conditions.signal = signal;
            conditions.signalAfterMs = afterMs;
            const testsupport::CommandRun run = testsupport::runSpindle({model}, conditions);
            EXPECT_TRUE(run.status == 0 || run.status == 128 + signal) << run.status;
            const std::string result = testsupport::readFile(scene);
            EXPECT_TRUE(result == "old scene" || result == whole) << signal << " after " << afterMs << " ms";
            EXPECT_EQ(names(folder), (Names{"rig.lws", "rig.obj"}));
        }
    }
}
#endif

TEST_F(Faults, pointLookupsCostTheSameWhateverTheNumberOfLayers) {
    // 100,000 empty layers before a rig of 298,000 point lookups: a lookup
    // that walked the layers would need far more processor time than the
    // limit given here (it took over 5 s).
    readertest::Bytes body, points, polygons;
    body.chunk("TAGS", readertest::Bytes().s0("Rig"));
    for (int i = 0; i < 100000; ++i)
        body.chunk("LAYR", readertest::Bytes().u2(0).u2(0).points({0, 0, 0}).s0(""));
    polygons.id("CURV");
    for (int curve = 0; curve < 999; ++curve) {
        polygons.u2(150);
        for (int i = 0; i < 150; ++i) {
            points.points({static_cast<float>(curve), static_cast<float>(i), 0});
            polygons.vx(static_cast<uint32_t>(curve * 150 + i));
        }
    }
    body.chunk("LAYR", readertest::Bytes().u2(0).u2(0).points({0, 0, 0}).s0("rig"))
        .chunk("PNTS", points)
        .chunk("POLS", polygons);
    const std::string layered = testsupport::join(folder, "layered.lwo");
    ASSERT_TRUE(testsupport::writeFile(layered, readertest::form("LWO2", body)));
    testsupport::CommandConditions conditions;
    conditions.cpuSeconds = 5;
    const testsupport::CommandRun run = testsupport::runSpindle({layered}, conditions);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Number of bone is over 4096.\n");
}

// ---- paths and texts from the user ----------------------------------------

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
