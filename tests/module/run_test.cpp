// Whole runs through the real module: the typical two-curve model written
// byte for byte under each option that changes the file, the bone limit of
// the scene's item ids, and the bundled example.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "readers/bytes.h"
#include "standin/cli/command.h"
#include "support/golden.h"
#include "support/module.h"
#include "support/support.h"
#include "support/variants.h"

using testing::ElementsAre;
using testsupport::FreshModule;

using testsupport::kActiveBones;
using testsupport::kGoalBones;
using testsupport::kGoalObjects;
using testsupport::kObjectFile;
using testsupport::kOptimizeGoalParent;
using testsupport::kSceneFile;
using testsupport::kSurfaceNames;
using testsupport::turn;
using testsupport::type;

namespace {

// Curve A of four points up the y axis; curve B of three points starting at
// A's third point.
standin::Mesh typicalMesh(const std::string &armSurface) {
    return testsupport::curveMesh({{0, 0, 0}, {0, 1, 0}, {0, 2, 0}, {0, 3, 0}, {1, 2, 0}, {2, 2, 0}},
                                  {{{0, 1, 2, 3}, "Body"}, {{2, 4, 5}, armSurface}});
}

using Variant = testsupport::GoldenVariant;

class TypicalRun : public testing::TestWithParam<Variant> {};

TEST_P(TypicalRun, writesTheExpectedSceneByteForByte) {
    const Variant &variant = GetParam();
    FreshModule loaded;
    const testsupport::TempDir temp;
    const std::string &folder = temp.path;
    const std::string scene = testsupport::join(folder, "out.lws");
    standin::Mesh mesh = typicalMesh(variant.armHasNgSuffix ? "Arm_NG" : "Arm");
    standin::HostConfig config = testsupport::quietConfig(&mesh);
    config.edits = testsupport::variantEdits(variant);
    config.edits.insert(config.edits.begin(), type(kSceneFile, scene));
    for (int run = 0; run < 2; ++run) { // the second run hands out the same goal numbers
        const standin::RunResult host = standin::runCommand(loaded.module, config);
        EXPECT_EQ(host.result, 0);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].text, "Scene file created.");
        EXPECT_FALSE(host.messages[0].isError);
        EXPECT_TRUE(
            testsupport::sameText(testsupport::readFile(scene),
                                  testsupport::readFile(std::string(SPINDLE_TEST_DATA "/scenes/") + variant.golden)))
            << variant.golden << " differs in run " << run + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Options, TypicalRun, testing::ValuesIn(testsupport::goldenVariants()),
                         [](const testing::TestParamInfo<Variant> &info) {
                             return testsupport::variantName(info.param);
                         });

// ---- the bone limit ---------------------------------------------------------------

// One straight curve of `points` points along z.
standin::Mesh straightCurve(uint32_t points) {
    std::vector<std::array<double, 3>> positions;
    testsupport::TestCurve curve;
    curve.surface = "Long";
    for (uint32_t i = 0; i < points; ++i) {
        positions.push_back({0, 0, static_cast<double>(i)});
        curve.points.push_back(i);
    }
    return testsupport::curveMesh(positions, {curve});
}

struct LimitCase {
    uint32_t points;
    bool goalBones;
    bool written;
};

TEST(BoneLimit, moreThan4096BonesInAllAreRefusedAndTheOldFileKept) {
    FreshModule loaded;
    const testsupport::TempDir temp;
    const std::string &folder = temp.path;
    const std::string scene = testsupport::join(folder, "limit.lws");
    // Chain bones plus goal bones: 4095 + 1 and 4096 + 0 fit, 4096 + 1 does not.
    for (LimitCase limit : {LimitCase{4096, true, true}, LimitCase{4097, false, true}, LimitCase{4097, true, false},
                            LimitCase{5000, false, false}}) {
        testsupport::writeFile(scene, "old scene");
        standin::Mesh mesh = straightCurve(limit.points);
        standin::HostConfig config = testsupport::quietConfig(&mesh);
        config.edits = {type(kSceneFile, scene), turn(kGoalBones, limit.goalBones)};
        const standin::RunResult host = standin::runCommand(loaded.module, config);
        EXPECT_EQ(host.result, 0);
        ASSERT_EQ(host.messages.size(), 2u) << limit.points;
        EXPECT_EQ(host.messages[0].text, "Number of bone (one curve included) is over 256. ");
        const std::string text = testsupport::readFile(scene);
        if (limit.written) {
            EXPECT_EQ(host.messages[1].text, "Scene file created.");
            EXPECT_NE(text.find("ParentItem 4ffe0000\r\n"), std::string::npos) << "bone 4096's parent is bone 4095";
        } else {
            EXPECT_EQ(host.messages[1].text, "Number of bone is over 4096.");
            EXPECT_TRUE(host.messages[1].isError);
            EXPECT_EQ(text, "old scene");
            // Refused before the scene path is read back.
            EXPECT_TRUE(testsupport::linesStartingWith(host.transcript, "control 1 get").empty());
        }
    }
}

// ---- loops and stopped scans write nothing ----------------------------------------

TEST(Run, loopOrStoppedScanLeavesTheSceneUntouchedAndReleasesEverything) {
    FreshModule loaded;
    const testsupport::TempDir temp;
    const std::string &folder = temp.path;
    const std::string scene = testsupport::join(folder, "kept.lws");
    // Two curves that each start at the other's second point.
    const standin::Mesh loop =
        testsupport::curveMesh({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, {{{0, 1, 2}, "A"}, {{1, 0, 3}, "B"}});
    const standin::Mesh closed = testsupport::curveMesh({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {{{0, 1, 2, 0}, "Ring"}});
    struct Case {
        const standin::Mesh *mesh;
        const char *message;
    };
    for (Case run : {Case{&loop, "Detect a loop."}, Case{&closed, "Don't use the closed curve."}}) {
        testsupport::writeFile(scene, "old scene");
        standin::HostConfig config = testsupport::quietConfig(run.mesh);
        config.edits = {type(kSceneFile, scene)};
        const standin::RunResult host = standin::runCommand(loaded.module, config);
        EXPECT_EQ(host.result, 0);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].text, run.message);
        EXPECT_EQ(testsupport::readFile(scene), "old scene");
        EXPECT_EQ(host.meshEditsDone, 1);
        EXPECT_TRUE(host.panels[0].destroyed);
    }
}

TEST(Run, unreadablePointStopsTheScan) {
    FreshModule loaded;
    standin::Mesh mesh = typicalMesh("Arm");
    standin::HostConfig config = testsupport::quietConfig(&mesh);
    config.refusePointInfo = true;
    config.edits = {type(kSceneFile, "")};
    const standin::RunResult host = standin::runCommand(loaded.module, config);
    EXPECT_EQ(host.result, 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Can't read a curve point.");
}

// ---- layers ---------------------------------------------------------------------

TEST(Run, foregroundLayersAreScannedInAscendingNumberWhateverTheFileOrder) {
    FreshModule loaded;
    // The file holds layer 3 before layer 1; each layer one curve.
    standin::Mesh mesh;
    const uint32_t curve[] = {0, 1};
    mesh.addLayer(3);
    mesh.addPoint(0, 0, 0);
    mesh.addPoint(0, 1, 0);
    mesh.addPolygon(HOST_POLY_CURVE, mesh.surfaceNamed("Third"), curve, 2);
    mesh.addLayer(1);
    mesh.addPoint(0, 0, 0);
    mesh.addPoint(1, 0, 0);
    mesh.addPolygon(HOST_POLY_CURVE, mesh.surfaceNamed("First"), curve, 2);
    const testsupport::TempDir temp;
    const std::string &folder = temp.path;
    const std::string scene = testsupport::join(folder, "layers.lws");
    struct Case {
        std::vector<int32_t> foreground;
        std::vector<std::string> bones;
    };
    for (const Case &layers : {Case{{}, {"First", "Third"}}, Case{{3}, {"Third"}}, Case{{1, 3}, {"First", "Third"}}}) {
        standin::HostConfig config = testsupport::quietConfig(&mesh);
        config.foreground = layers.foreground;
        config.edits = {type(kSceneFile, scene), turn(kGoalObjects, false)};
        const standin::RunResult host = standin::runCommand(loaded.module, config);
        EXPECT_EQ(host.result, 0);
        std::vector<std::string> bones;
        const std::string text = testsupport::readFile(scene);
        for (size_t at = text.find("BoneName "); at != std::string::npos; at = text.find("BoneName ", at + 1))
            bones.push_back(text.substr(at + 9, text.find('\r', at) - at - 9));
        EXPECT_EQ(bones, layers.bones);
    }
}

TEST(Run, hundredThousandEmptyLayersBeforeTheRigChangeNothing) {
    // The typical model's curves in the last of 100,001 layers, all shown as
    // layer 1, so the scan reaches the rig after every empty layer.
    readertest::Bytes body;
    body.chunk("TAGS", readertest::Bytes().s0("Body").s0("Arm"));
    for (int i = 0; i < 100000; ++i)
        body.chunk("LAYR", readertest::Bytes().u2(0).u2(0).points({0, 0, 0}).s0(""));
    body.chunk("LAYR", readertest::Bytes().u2(0).u2(0).points({0, 0, 0}).s0("rig"))
        .chunk("PNTS", readertest::Bytes().points({0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 1, 2, 0, 2, 2, 0}))
        .chunk("POLS", readertest::Bytes().id("CURV").u2(4).u2(0).u2(1).u2(2).u2(3).u2(3).u2(2).u2(4).u2(5))
        .chunk("PTAG", readertest::Bytes().id("SURF").vx(0).u2(0).vx(1).u2(1));
    standin::Mesh layered;
    std::string reason;
    ASSERT_TRUE(readertest::readString(readertest::form("LWO2", body), layered, reason)) << reason;
    ASSERT_EQ(layered.layers.size(), 100001u);

    const testsupport::TempDir temp;
    const std::string &folder = temp.path;
    const std::string scene = testsupport::join(folder, "layered.lws");
    standin::Mesh plain = typicalMesh("Arm");
    std::vector<std::string> transcripts;
    for (const standin::Mesh *mesh : {&plain, &layered}) {
        FreshModule loaded;
        standin::HostConfig config = testsupport::quietConfig(mesh);
        config.edits = {type(kSceneFile, scene)};
        const standin::RunResult host = standin::runCommand(loaded.module, config);
        EXPECT_EQ(host.result, 0);
        std::string lines;
        for (const std::string &line : host.transcript)
            lines += line + "\n";
        transcripts.push_back(lines);
        EXPECT_TRUE(testsupport::sameText(testsupport::readFile(scene),
                                          testsupport::readFile(SPINDLE_TEST_DATA "/scenes/typical.lws")));
    }
    EXPECT_NE(transcripts[0].find("meshEdit.pointInfo layer 1 point 5\n"), std::string::npos);
    EXPECT_EQ(transcripts[1], transcripts[0]);
}

// ---- the bundled example ------------------------------------------------------------

// The rig's scene, its summary and tree, and the notes that say why the
// legs and the tail start chains of their own: they are drawn from the hip,
// the first point of the spine's first bone, behind its start control point.
TEST(Example, figureGivesItsExpectedSceneSummaryTreeAndNotes) {
    const testsupport::TempDir temp;
    const std::string &folder = temp.path;
    const std::string scene = testsupport::join(folder, "figure.lws");
    const testsupport::CommandRun run =
        testsupport::runSpindle({"--tree", "-o", scene, SPINDLE_EXAMPLES "/figure.lwo"});
    EXPECT_EQ(run.status, 0);
    const char *const tree = R"(NULL
  1 Spine
    2 Spine
      3 Neck
        4 Head
          23 Head_GoalBone -> Head_Goal
        22 Neck_GoalBone -> Neck_Goal
      5 ArmL
        6 ArmL
          7 ArmL
            8 HandL
              25 HandL_GoalBone -> HandL_Goal
            24 ArmL_GoalBone -> ArmL_Goal
      9 ArmR
        10 ArmR
          11 ArmR
            12 HandR
              27 HandR_GoalBone -> HandR_Goal
            26 ArmR_GoalBone -> ArmR_Goal
      21 Spine_GoalBone -> Spine_Goal
  13 LegL
    14 LegL
      15 LegL
        28 LegL_GoalBone -> LegL_Goal
  16 LegR
    17 LegR
      18 LegR
        29 LegR_GoalBone -> LegR_Goal
  19 Tail
    20 Tail
  Spine_Goal
  Neck_Goal
  Head_Goal
  ArmL_Goal
  HandL_Goal
  ArmR_Goal
  HandR_Goal
  LegL_Goal
  LegR_Goal
)";
    EXPECT_EQ(run.out,
              "Scene file created.\n" + scene + ": 20 chain bones in 4 chains, 9 goal bones, 9 goal objects\n" + tree);
    std::string notes;
    for (const char *leg : {"7, surface \"LegL\"", "8, surface \"LegR\"", "9, surface \"Tail_NG\""})
        notes += std::string("spindle: note: the curve in layer 1, polygon ") + leg +
            " starts at the first point of the curve in layer 1, polygon 0, surface \"Spine\", so it starts a "
            "chain of its own (bones link only to a bone that ends where they start)\n";
    EXPECT_EQ(run.err, notes);
    EXPECT_TRUE(testsupport::sameText(testsupport::readFile(scene),
                                      testsupport::readFile(SPINDLE_TEST_DATA "/scenes/figure.lws")));
}

} // namespace
