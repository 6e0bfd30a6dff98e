// The command under faults of the file system, signals and hostile paths:
// for each, the message, the exit status, the old scene's bytes unchanged or
// the new scene whole, and no temporary left behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
        ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
        model = folder + "/rig.obj";
        ASSERT_TRUE(testsupport::writeFile(
            model, "v 0 0 0\nv 0 1 0\nv 0 2 0\nv 1 1 0\nusemtl Spine\nl 1 2 3\nusemtl Arm\nl 2 4\n"));
        scene = folder + "/rig.lws";
    }
    void TearDown() override {
        for (const auto &entry : fs::recursive_directory_iterator(folder))
            if (!entry.is_symlink() && entry.is_directory())
                chmod(entry.path().c_str(), 0777);
        chmod(folder.c_str(), 0777);
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // The scene a clean run writes for the rig.
    std::string wholeScene() {
        const std::string reference = folder + "/reference.lws";
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
    // A user who owns none of the test's files; 0 when the tests cannot
    // switch users.
    static unsigned stranger() { return geteuid() == 0 ? 65534u : 0u; }

    std::string folder, model, scene;
};

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
    for (const mode_t folderMode : {0555, 01777}) {
        ASSERT_TRUE(testsupport::writeFile(scene, "old scene"));
        ASSERT_EQ(chmod(scene.c_str(), 0666), 0);
        ASSERT_EQ(chmod(folder.c_str(), folderMode), 0);
        testsupport::CommandConditions conditions;
        conditions.uid = stranger();
        const testsupport::CommandRun run = testsupport::runSpindle({model}, conditions);
        EXPECT_EQ(run.err, "") << std::oct << folderMode;
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(testsupport::readFile(scene), whole);
        ASSERT_TRUE(testsupport::writeFile(scene, "old scene"));
        conditions.fileSizeLimit = 4096;
        const testsupport::CommandRun limited = testsupport::runSpindle({model}, conditions);
        EXPECT_EQ(limited.status, 1);
        EXPECT_EQ(limited.err, cantWrite(scene));
        EXPECT_EQ(testsupport::readFile(scene), "old scene");
        EXPECT_EQ(names(folder), (Names{"rig.lws", "rig.obj"}));
        ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
    }
}

TEST_F(Faults, pathsThatCannotBeOpenedAreCantOpenAndTouchNothing) {
    fs::create_directory(folder + "/sub");
    ASSERT_EQ(symlink("loop.lws", (folder + "/loop.lws").c_str()), 0);
    for (const std::string &target :
         {folder + "/sub", folder + "/sub/", folder + "/missing/rig.lws", folder + "/loop.lws"}) {
        const testsupport::CommandRun run = testsupport::runSpindle({"-o", target, model});
        EXPECT_EQ(run.status, 1) << target;
        EXPECT_EQ(run.err, cantOpen(target));
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(names(folder), (Names{"loop.lws", "rig.obj", "sub"}));
    EXPECT_EQ(names(folder + "/sub"), Names{});
}

TEST_F(Faults, devicesAndFifosAreWrittenAsTheyAreAndNeverReadBack) {
    const testsupport::CommandRun null = testsupport::runSpindle({"-o", "/dev/null", model});
    EXPECT_EQ(null.status, 0);
    EXPECT_EQ(null.err, "spindle: /dev/null: not a regular file, so the scene is not read back\n");
    const std::string whole = wholeScene();
    const std::string fifo = folder + "/pipe.lws";
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
}

TEST_F(Faults, danglingLinkStaysAndItsFileIsCreatedWhole) {
    const std::string whole = wholeScene();
    fs::create_directory(folder + "/elsewhere");
    ASSERT_EQ(symlink("elsewhere/real.lws", scene.c_str()), 0);
    testsupport::CommandConditions limited;
    limited.fileSizeLimit = 4096;
    EXPECT_EQ(testsupport::runSpindle({model}, limited).err, cantWrite(scene));
    EXPECT_EQ(names(folder + "/elsewhere"), Names{});
    EXPECT_EQ(testsupport::runSpindle({model}).status, 0);
    EXPECT_TRUE(fs::is_symlink(scene));
    EXPECT_EQ(testsupport::readFile(folder + "/elsewhere/real.lws"), whole);
    EXPECT_EQ(names(folder), (Names{"elsewhere", "rig.lws", "rig.obj"}));
}

TEST_F(Faults, twoRunsOnOneSceneAlwaysLeaveOneWholeScene) {
    const std::string whole = wholeScene();
    const std::string other = folder + "/other.obj";
    ASSERT_TRUE(testsupport::writeFile(other, "v 0 0 0\nv 0 0 5\nusemtl Other\nl 1 2\n"));
    ASSERT_EQ(testsupport::runSpindle({"-o", scene, other}).status, 0);
    const std::string otherWhole = testsupport::readFile(scene);
    for (int round = 0; round < 10; ++round) {
        testsupport::CommandRun first, second;
        std::thread a([&] { first = testsupport::runSpindle({"-o", scene, model}); });
        std::thread b([&] { second = testsupport::runSpindle({"-o", scene, other}); });
        a.join();
        b.join();
        EXPECT_EQ(first.status, 0);
        EXPECT_EQ(second.status, 0);
        const std::string result = testsupport::readFile(scene);
        EXPECT_TRUE(result == whole || result == otherWhole) << "round " << round;
        EXPECT_EQ(names(folder), (Names{"other.obj", "rig.lws", "rig.obj"}));
    }
}

TEST_F(Faults, interruptsNeverLeaveAHalfSceneOrATemporary) {
    // A deep rig, so that many signals arrive while the module runs.
    std::string text;
    for (int i = 0; i <= 3000; ++i)
        text += "v 0 " + std::to_string(i) + " " + std::to_string(i % 7) + "\n";
    for (int curve = 0; curve < 3; ++curve) {
        text += "usemtl Part" + std::to_string(curve) + "\nl";
        for (int i = curve * 1000; i <= curve * 1000 + 1000; ++i)
            text += " " + std::to_string(i + 1);
        text += "\n";
    }
    ASSERT_TRUE(testsupport::writeFile(model, text));
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
    const std::string layered = folder + "/layered.lwo";
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
        longest += "/" + std::string(200, 'd');
        fs::create_directory(longest);
    }
    longest += "/" + std::string(1022 - longest.size() - 1 - 4, 's') + ".lws";
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
    ASSERT_EQ(symlink("rig.obj", (folder + "/link.lws").c_str()), 0);
    const std::string spellings[] = {model, folder + "/./rig.obj", folder + "/link.lws"};
    for (const std::string &target : spellings) {
        const testsupport::CommandRun run = testsupport::runSpindle({"-o", target, model});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "spindle: " + target + ": would overwrite the model; name another scene with -o\n");
    }
    const std::string lwsModel = folder + "/x.lws";
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

    const std::string forged = folder + "/no\nspindle: forged\x01/rig.lws";
    const testsupport::CommandRun message = testsupport::runSpindle({"-o", forged, model});
    EXPECT_EQ(message.status, 1);
    EXPECT_EQ(message.err, "Can't open \"" + folder + "/no\\nspindle: forged\\x01/rig.lws\". \n");
}

} // namespace
