// The spindle command as a whole: its output lines and its exit statuses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

#include <filesystem>
#include <thread>

#include "readers/bytes.h"
#include "cli/command_fixture.h"
#include "standin/cli/command.h"
#include "standin/cli/command_line.h"
#include "support/golden.h"
#include "support/module.h"
#include "support/support.h"

using testing::ElementsAre;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

using readertest::form;

// ---- the command as a whole ---------------------------------------------------

TEST_F(Command, helpAndVersion) {
    const testsupport::CommandRun help = testsupport::runSpindle({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, standin::usageText());
    EXPECT_EQ(help.err, "");
    const testsupport::CommandRun version = testsupport::runSpindle({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_THAT(version.out, StartsWith("spindle "));
}

TEST_F(Command, badCommandLineIsOneLineAndTwo) {
    const testsupport::CommandRun run = testsupport::runSpindle({"--nonsense", rig()});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "spindle: unknown option '--nonsense'\n");
    EXPECT_EQ(run.out, "");
}

TEST_F(Command, colourNotInThePanelsListIsABadCommandLine) {
    const testsupport::CommandRun run = testsupport::runSpindle({"--bone-color", "Mauve", rig()});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "spindle: unknown colour 'Mauve' for --bone-color (Blue, Green, Cyan, Red, Purple, Yellow or White)\n");
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(std::filesystem::exists(testsupport::join(folder, "rig.lws")));
}

TEST_F(Command, missingLayerIsABadCommandLine) {
    const std::string path = rig();
    const testsupport::CommandRun run = testsupport::runSpindle({"--layer", "3", path});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "spindle: " + path + " has no layer 3\n");
    EXPECT_FALSE(std::filesystem::exists(testsupport::join(folder, "rig.lws")));
}

TEST_F(Command, unreadableModelIsTwoAndTouchesNoScene) {
    const std::string path = model("empty.lwo", "");
    testsupport::writeFile(testsupport::join(folder, "empty.lws"), "old scene");
    const testsupport::CommandRun run = testsupport::runSpindle({path});
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, StartsWith("spindle: " + path + ": "));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    EXPECT_EQ(testsupport::readFile(testsupport::join(folder, "empty.lws")), "old scene");
    const testsupport::CommandRun missing = testsupport::runSpindle({testsupport::join(folder, "nothing.obj")});
    EXPECT_EQ(missing.status, 2);
    EXPECT_THAT(missing.err, StartsWith("spindle: " + testsupport::join(folder, "nothing.obj") + ": "));
}

TEST_F(Command, eachKindOfBadModelIsOneLineAndTwo) {
    struct Bad {
        std::string path;
        std::string reason;
    };
    const std::string models = testsupport::join(folder, "models");
    std::filesystem::create_directory(models);
    // Sparse files: the command must tell what they are from their first bytes.
    const std::string huge = model("huge.lwo", form("LWO2", readertest::Bytes()));
    ASSERT_TRUE(testsupport::growSparse(huge, 8 + 0xFFFFFFFFull + 1));
    const std::string zeros = model("zeros.bin", std::string(1, '\0'));
    ASSERT_TRUE(testsupport::growSparse(zeros, 5ull << 30));
    std::vector<Bad> bad = {
        {model("empty.lwo", ""), "byte 0: empty file"},
        {model("notes.txt", "hello world\n"), "byte 0: not a model file of a known format"},
        {model("cut.lwo", std::string("FORM\0\0\0\x40LWO2", 12)), "byte 0: FORM chunk runs past the end of the file"},
        {model("index.obj", "v 0 0 0\nv 1 0 0\nl 1 3\n"), "line 3: index 3 past the 2 points"},
        {testsupport::join(folder, "nothing.obj"), "cannot be read (" + testsupport::noSuchFileText() + ")"},
        {models, "is a folder"},
        {huge, "byte 0: larger than an IFF model file can be"},
        {zeros, "byte 0: not a model file of a known format"},
    };
#if defined(_WIN32)
    bad.push_back({"NUL", "is a device, not a model file"});
#else
    const std::string pipe = testsupport::join(folder, "pipe.obj");
    mkfifo(pipe.c_str(), 0600); // no one writes to it
    bad.push_back({"/dev/null", "is a device, not a model file"});
    bad.push_back({"/dev/zero", "is a device, not a model file"});
    bad.push_back({pipe, "byte 0: empty file"});
#endif
    for (const Bad &file : bad) {
        const std::string scene = standin::defaultScenePath(file.path);
        const bool ours = file.path.rfind(folder, 0) == 0;
        if (ours)
            testsupport::writeFile(scene, "old scene");
        const testsupport::CommandRun run = testsupport::runSpindle({file.path});
        EXPECT_EQ(run.status, 2) << file.path;
        EXPECT_EQ(run.err, "spindle: " + file.path + ": " + file.reason + "\n");
        EXPECT_EQ(run.out, "");
        if (ours) {
            EXPECT_EQ(testsupport::readFile(scene), "old scene") << file.path;
        }
    }
}

TEST_F(Command, modelTooLargeForMemoryIsOneLineAndTwo) {
    if (kSanitized)
        GTEST_SKIP() << "the sanitizers' allocator ends the process rather than fail an allocation";
    const std::string path = model("large.obj", "v 0 0 0\n");
#if defined(_WIN32)
    // Wine sets no memory limit on a process: a file larger than any
    // allocation can be instead.
    ASSERT_TRUE(testsupport::growSparse(path, 1ull << 40));
    const testsupport::CommandRun run = testsupport::runSpindle({path});
#else
    ASSERT_TRUE(testsupport::growSparse(path, 1ull << 30));
    testsupport::CommandConditions conditions;
    conditions.memoryLimit = 256ll << 20;
    const testsupport::CommandRun run = testsupport::runSpindle({path}, conditions);
#endif
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "spindle: " + path + ": not enough memory to read it\n");
}

TEST_F(Command, readsTheModelFromAPipeWhileItIsWritten) {
    // Far more than a pipe holds, comments first: the command waits for the
    // writer again and again, before and after it has told the format.
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "# a comment line that pads the model out past what a pipe holds\n";
    text += testsupport::readFile(rig());
#if defined(_WIN32)
    // Windows has no /dev/fd: the pipe is a named one.
    testsupport::ServedPipe pipe(text);
    const testsupport::CommandRun run =
        testsupport::runSpindle({"-o", testsupport::join(folder, "piped.lws"), pipe.path});
    pipe.close();
#else
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    fcntl(ends[1], F_SETFD, FD_CLOEXEC); // the command must not hold the writing end open
    std::signal(SIGPIPE, SIG_IGN);
    std::thread writer([&] {
        for (size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(ends[1], text.data() + done, text.size() - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
        ::close(ends[1]);
    });
    const testsupport::CommandRun run =
        testsupport::runSpindle({"-o", testsupport::join(folder, "piped.lws"), "/dev/fd/" + std::to_string(ends[0])});
    ::close(ends[0]);
    writer.join();
#endif
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(testsupport::runSpindle({rig()}).status, 0);
    EXPECT_TRUE(testsupport::readFile(testsupport::join(folder, "piped.lws")) ==
                testsupport::readFile(testsupport::join(folder, "rig.lws")));
}

TEST_F(Command, polygonsWithNoPointsArePassedOver) {
    // The rig's two curves with point-less polygons before, between and after.
    readertest::Bytes pols;
    pols.id("CURV").u2(0).u2(3).u2(0).u2(1).u2(2).u2(0).u2(2).u2(1).u2(3).u2(0);
    readertest::Bytes body;
    body.chunk("TAGS", readertest::Bytes().s0("Spine").s0("Arm"))
        .chunk("PNTS", readertest::Bytes().points({0, 0, 0, 0, 1, 0, 0, 2, 0, 1, 1, 0}))
        .chunk("POLS", pols)
        .chunk("PTAG", readertest::Bytes().id("SURF").vx(0).u2(0).vx(1).u2(0).vx(2).u2(1).vx(3).u2(1).vx(4).u2(1));
    const std::string models[] = {
        model("gaps.lwo", form("LWO2", body)),
        model("gaps.obj", "v 0 0 0\nv 0 1 0\nv 0 2 0\nv 1 1 0\nl\nusemtl Spine\nl 1 2 3\nf\nusemtl Arm\nl 2 4\nl\n"),
    };
    ASSERT_EQ(testsupport::runSpindle({rig()}).status, 0);
    const std::string expected = testsupport::readFile(testsupport::join(folder, "rig.lws"));
    for (const std::string &path : models) {
        const testsupport::CommandRun run = testsupport::runSpindle({path});
        EXPECT_EQ(run.err, "") << path;
        EXPECT_EQ(run.status, 0) << path;
        EXPECT_TRUE(testsupport::sameText(testsupport::readFile(standin::defaultScenePath(path)), expected)) << path;
    }
}

TEST_F(Command, moduleThatCannotBeLoadedIsThree) {
    const std::string notModule = model("fake.p", "text");
    const testsupport::CommandRun run = testsupport::runSpindle({"--module", notModule, rig()});
    EXPECT_EQ(run.status, 3);
    EXPECT_THAT(run.err, StartsWith("spindle: " + notModule + ": not a loadable module ("));
    const testsupport::CommandRun noServer =
        testsupport::runSpindle({"--module", SPINDLE_BAD_MODULE_DIR "/bad_module_3.p", rig()});
    EXPECT_EQ(noServer.status, 3);
    EXPECT_EQ(noServer.err,
              "spindle: " SPINDLE_BAD_MODULE_DIR
              "/bad_module_3.p: no CommandSequence server \"Vant_Spindle\" in the module\n");
}

TEST_F(Command, writesTheSceneBesideTheModelByDefault) {
    const testsupport::CommandRun run = testsupport::runSpindle({rig()});
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "Scene file created.\n" + testsupport::join(folder, "rig.lws") +
                  ": 3 chain bones in 1 chain, 2 goal bones, 2 goal objects\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(testsupport::readFile(testsupport::join(folder, "rig.lws")), StartsWith("LWSC\r\n3\r\n"));
}

TEST_F(Command, cancelAndFailuresEndWithoutAScene) {
    const testsupport::CommandRun cancelled = testsupport::runSpindle({"--cancel", rig()});
    EXPECT_EQ(cancelled.status, 1);
    EXPECT_EQ(cancelled.out, "");
    EXPECT_EQ(cancelled.err, "");
    EXPECT_FALSE(std::filesystem::exists(testsupport::join(folder, "rig.lws")));

    const testsupport::CommandRun noCurves =
        testsupport::runSpindle({model("faces.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n")});
    EXPECT_EQ(noCurves.status, 1);
    EXPECT_EQ(noCurves.err, "Thare are no curve.\n");

    const testsupport::CommandRun unopenable = testsupport::runSpindle({"--scene", "", rig()});
    EXPECT_EQ(unopenable.status, 1);
    EXPECT_EQ(unopenable.err, "Can't open \"\". \n");
}

TEST_F(Command, surfaceSelectionAndLayers) {
    const std::string path = rig();
    const testsupport::CommandRun unselected = testsupport::runSpindle({"--surface", "Nothing", path});
    EXPECT_EQ(unselected.err, "Thare are no curve.\n");
    const testsupport::CommandRun arm =
        testsupport::runSpindle({"--surface", "Arm", "--layer", "1", "--no-goal-objects", path});
    EXPECT_EQ(arm.status, 0);
    const std::string scene = testsupport::readFile(testsupport::join(folder, "rig.lws"));
    EXPECT_THAT(scene, HasSubstr("BoneName Arm\r\n"));
    EXPECT_THAT(scene, testing::Not(HasSubstr("BoneName Spine\r\n")));
}

TEST_F(Command, transcriptGoesToStandardError) {
    const testsupport::CommandRun run = testsupport::runSpindle({"--transcript", "--cancel", rig()});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr("global \"Info Messages\" 0 -> service\n"));
    EXPECT_THAT(run.err,
                HasSubstr("panels.open 7\nuser: control 1 = \"" + testsupport::join(folder, "rig.lws") + "\"\n"));
    EXPECT_THAT(run.err, HasSubstr("user: Cancel\n"));
    EXPECT_EQ(run.out, "");
}

} // namespace
