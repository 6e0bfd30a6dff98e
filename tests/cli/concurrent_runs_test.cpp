// The command run twice at once, ended at any moment or interrupted: the
// scene is always the old one or a new one whole; and a run's point
// look-ups cost the same however many layers the model has.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <signal.h>
#endif

#include <cstdint>
#include <thread>

#include "cli/faults_fixture.h"
#include "readers/bytes.h"

using namespace faultstest;
using testing::HasSubstr;

namespace {

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

} // namespace
