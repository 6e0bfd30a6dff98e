// The glTF output of the spindle command: --gltf on a run, `spindle show
// SCENE -o FILE.glb|.gltf`, and --join-lines, end to end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "gltf/gltf_check.h"
#include "gltf/hostile_scene.h"
#include "support/module.h"
#include "support/support.h"

namespace {

class GltfCommand : public testing::Test {
  protected:
    std::string copy(const std::string &from, const std::string &name) {
        const std::string path = testsupport::join(folder, name);
        EXPECT_TRUE(testsupport::writeFile(path, testsupport::readFile(from)));
        return path;
    }
    // Reads a written glTF back; fails the test when it is not sound.
    gltfcheck::GltfFile readBack(const std::string &path) {
        gltfcheck::GltfFile file;
        const std::string bytes = testsupport::readFile(path);
        EXPECT_FALSE(bytes.empty()) << path;
        EXPECT_EQ(gltfcheck::checkGltf(bytes, file), "") << path;
        return file;
    }
    std::vector<std::string> files() const { return testsupport::namesIn(folder); }

    testsupport::TempDir temp;
    std::string folder = temp.path;
};

std::string dataFile(const std::string &name) { return std::string(SPINDLE_SOURCE_DIR) + "/tests/gltf/data/" + name; }

} // namespace

TEST_F(GltfCommand, runWritesTheRigBesideTheSceneInEitherForm) {
    const std::string model = copy(std::string(SPINDLE_EXAMPLES) + "/figure.lwo", "figure.lwo");
    const std::string glb = testsupport::join(folder, "figure.glb");
    const testsupport::CommandRun run = testsupport::runSpindle({"-q", "--gltf", glb, model});
    EXPECT_EQ(run.status, 0) << run.err;
    const gltfcheck::GltfFile binary = readBack(glb);
    // 1 root, 29 bones, 9 goal nulls, an end for each of the 9 goal bones
    // and the tail, which goes on in no goal bone, and the model's mesh.
    EXPECT_EQ(gltfcheck::list(binary.json, "nodes").size(), 1u + 29 + 9 + 10 + 1);
    ASSERT_EQ(gltfcheck::list(binary.json, "skins").size(), 1u);
    EXPECT_EQ(gltfcheck::list(gltfcheck::list(binary.json, "skins")[0], "joints").size(), 29u + 10);
    const std::string text = testsupport::join(folder, "Again.GLTF");
    EXPECT_EQ(
        testsupport::runSpindle({"-q", "-o", testsupport::join(folder, "again.lws"), "--gltf", text, model}).status, 0);
    const gltfcheck::GltfFile embedded = readBack(text);
    EXPECT_EQ(embedded.buffer, binary.buffer);
    EXPECT_EQ(files(), (std::vector<std::string>{"Again.GLTF", "again.lws", "figure.glb", "figure.lwo", "figure.lws"}));
}

// A box around a bone, bound along its surface, beside a face of no area,
// which has no surface to bind along: the run says how much fell back to
// the distance weights, and --weights distance (which has no fallback)
// says nothing.  --weights takes only its two words.
TEST_F(GltfCommand, surfaceWeightsNameWhatFellBackToDistance) {
    const std::string model = testsupport::join(folder, "box.obj");
    ASSERT_TRUE(testsupport::writeFile(model,
                                       "v -0.2 0 -0.2\nv 0.2 0 -0.2\nv 0.2 0 0.2\nv -0.2 0 0.2\n"
                                       "v -0.2 1 -0.2\nv 0.2 1 -0.2\nv 0.2 1 0.2\nv -0.2 1 0.2\n"
                                       "f 1 2 3 4\nf 8 7 6 5\nf 1 5 6 2\nf 2 6 7 3\nf 3 7 8 4\nf 4 8 5 1\n"
                                       "v 0 0.1 0\nv 0 0.9 0\nl 9 10\n"
                                       "v 2 0 0\nv 2 0.5 0\nv 2 1 0\nf 11 12 13\n"));
    const std::string glb = testsupport::join(folder, "box.glb");
    const testsupport::CommandRun run = testsupport::runSpindle({"-q", "--gltf", glb, model});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err,
              "spindle: note: " + glb +
                  ": 3 vertices in 1 part of the mesh have no surface to bind along (no area, or no bone "
                  "behind it): bound by distance\n");
    readBack(glb);
    const testsupport::CommandRun distance =
        testsupport::runSpindle({"-q", "--weights", "distance", "--gltf", glb, model});
    EXPECT_EQ(distance.status, 0);
    EXPECT_EQ(distance.err, "");
    const testsupport::CommandRun wrong = testsupport::runSpindle({"--weights", "heat", "--gltf", glb, model});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_THAT(wrong.err, testing::HasSubstr("option --weights takes surface or distance ('heat')"));
}

TEST_F(GltfCommand, otherExtensionIsAUsageErrorBeforeTheRun) {
    const std::string model = copy(dataFile("character.obj"), "character.obj");
    const testsupport::CommandRun run = testsupport::runSpindle({"--gltf", "rig.txt", model});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "spindle: option --gltf takes a file ending in .glb or .gltf ('rig.txt')\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(files(), (std::vector<std::string>{"character.obj"}));
}

TEST_F(GltfCommand, failureToWriteIsOneLineAndExitOneAndTheSceneStays) {
    const std::string model = copy(dataFile("character.obj"), "character.obj");
    const std::string glb = testsupport::join(testsupport::join(folder, "missing"), "rig.glb");
    const testsupport::CommandRun run = testsupport::runSpindle({"-q", "--gltf", glb, model});
    EXPECT_EQ(run.status, 1);
#if defined(_WIN32) // the system's words for a missing folder
    EXPECT_THAT(run.err, testing::StartsWith("spindle: " + glb + ": cannot be written ("));
#else
    EXPECT_EQ(run.err, "spindle: " + glb + ": cannot be written (" + testsupport::noSuchFileText() + ")\n");
#endif
    EXPECT_EQ(files(), (std::vector<std::string>{"character.lws", "character.obj"}));
#if !defined(_WIN32)
    // A write that fails halfway (here, past a file-size limit) leaves no
    // temporary file behind.
    const std::string scene = copy(std::string(SPINDLE_TEST_DATA) + "/scenes/typical.lws", "typical.lws");
    const std::string limited = testsupport::join(folder, "typical.glb");
    testsupport::CommandConditions small;
    small.fileSizeLimit = 1000;
    const testsupport::CommandRun shown = testsupport::runSpindle({"show", scene, "-o", limited}, small);
    EXPECT_EQ(shown.status, 1);
    EXPECT_EQ(shown.err, "spindle: " + limited + ": cannot be written (" + std::strerror(EFBIG) + ")\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"character.lws", "character.obj", "typical.lws"}));
#endif
    // No scene, no glTF.
    const std::string cancelled = testsupport::join(folder, "cancelled.glb");
    EXPECT_EQ(testsupport::runSpindle({"--cancel", "--gltf", cancelled, model}).status, 1);
    EXPECT_FALSE(std::filesystem::exists(cancelled));
}

TEST_F(GltfCommand, showWritesTheRigOfAnyScene) {
    const std::string scene = copy(std::string(SPINDLE_TEST_DATA) + "/scenes/object_path.lws", "object_path.lws");
    const std::string glb = testsupport::join(folder, "object_path.glb");
    const testsupport::CommandRun run = testsupport::runSpindle({"show", scene, "-o", glb});
    EXPECT_EQ(run.status, 0) << run.err;
    // The object file is not there: the rig alone, and one line saying so.
    const std::string told = "spindle: note: " + glb + ": the rig alone, without the mesh: C:\\Objects\\my body.lwo: ";
    EXPECT_EQ(run.out + run.err, told + run.err.substr(std::min(told.size(), run.err.size())));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    const gltfcheck::GltfFile file = readBack(glb);
    EXPECT_EQ(gltfcheck::list(file.json, "nodes")[0].get("name")->text, "my body");
    // Hostile names still give a sound file, with every name unique.
    const std::string hostile = testsupport::join(folder, "hostile.lws");
    ASSERT_TRUE(testsupport::writeFile(hostile, gltftest::hostileScene()));
    const std::string text = testsupport::join(folder, "hostile.gltf");
    EXPECT_EQ(testsupport::runSpindle({"show", hostile, "-o", text}).status, 0);
    std::vector<std::string> names;
    const gltfcheck::GltfFile hostileRig = readBack(text);
    for (const gltfcheck::JsonValue &node : gltfcheck::list(hostileRig.json, "nodes"))
        names.push_back(node.get("name")->text);
    EXPECT_EQ(names,
              (std::vector<std::string>{"Odd \"body\"", "Quote\"d", "Back\\slash", "Ctl\x01\x1f\x7f\tEnd", "</script>",
                                        "Latin\xEF\xBF\xBD\xEF\xBF\xBD", "Sp.ine", "Spine_7", "Spine_8", "Spine_7_9",
                                        "</script>_2", "Spine_7_9_end"}));
}

TEST_F(GltfCommand, numbersThatAreNotFiniteGiveOneNoteAndAValidRig) {
    // A point far enough out that the bone's length overflows: the scene
    // holds "inf", so it has no summary, but its rig is written.
    const std::string model = testsupport::join(folder, "far.obj");
    testsupport::writeFile(model, "v 0 0 0\nv 0 1e308 0\nv 0 -1e308 0\nl 1 2\nl 2 3\n");
    const std::string glb = testsupport::join(folder, "far.glb");
    const testsupport::CommandRun run = testsupport::runSpindle({"-q", "--gltf", glb, model});
    EXPECT_EQ(run.status, 1);
    const std::string scene = testsupport::join(folder, "far.lws");
    EXPECT_EQ(run.err,
              "spindle: " + scene + ": line 31: bad number in BoneRestLength\nspindle: note: " + glb +
                  ": bones with numbers that are not finite, placed at their parent's tip with length 0: "
                  "1 Default, 2 Default, 3 Default_GoalBone, 4 Default_GoalBone\n");
    readBack(glb);
    // From the scene alone, the same.
    const std::string overflowing = testsupport::join(folder, "overflowing.lws");
    testsupport::writeFile(overflowing, gltftest::overflowingScene());
    const std::string text = testsupport::join(folder, "overflowing.gltf");
    const testsupport::CommandRun shown = testsupport::runSpindle({"show", overflowing, "-o", text});
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.err,
              "spindle: note: " + text +
                  ": bones with numbers that are not finite, placed at their parent's tip with length 0: "
                  "2 Far\n");
    readBack(text);
}

TEST_F(GltfCommand, facesBeyondAFloatAreLeftOutWithOneNoteAndTheFileStaysJson) {
    // A chain, a quad, and two faces using a point at 1e308: finite in the
    // OBJ, but beyond a 32-bit float (whose bounds would be written "inf").
    const std::string model = testsupport::join(folder, "far_faces.obj");
    testsupport::writeFile(model,
                           "v 0 0 0\nv 0 1 0\nv 0 2 0\nv 0 3 0\n"
                           "v -1 0 -1\nv 1 0 -1\nv 1 3 -1\nv -1 3 -1\n"
                           "v 1e308 0 0\nv 0 1e308 0\nv -1e308 -1e308 0\n"
                           "l 1 2 3 4\nf 5 6 7 8\nf 9 10 11\nf 5 6 9\n");
    const std::string glb = testsupport::join(folder, "far_faces.glb");
    const testsupport::CommandRun run = testsupport::runSpindle({"-q", "--gltf", glb, model});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err,
              "spindle: note: " + glb +
                  ": 2 faces left out of the mesh: they use a point that a 32-bit float cannot hold\n");
    // The JSON parses, every number finite; the mesh is the quad alone.
    const gltfcheck::GltfFile file = readBack(glb);
    const auto &primitives = gltfcheck::list(gltfcheck::list(file.json, "meshes").at(0), "primitives");
    ASSERT_EQ(primitives.size(), 1u);
    const auto &accessors = gltfcheck::list(file.json, "accessors");
    const gltfcheck::JsonValue &position =
        accessors.at(gltfcheck::sizeOf(*primitives[0].get("attributes"), "POSITION"));
    std::vector<double> box;
    for (const char *bound : {"min", "max"})
        for (const gltfcheck::JsonValue &value : gltfcheck::list(position, bound))
            box.push_back(value.number);
    EXPECT_EQ(box, (std::vector<double>{-1, 0, -1, 1, 3, -1}));
    EXPECT_EQ(gltfcheck::sizeOf(accessors.at(gltfcheck::sizeOf(primitives[0], "indices")), "count"), 6u);
}

TEST_F(GltfCommand, joinLinesGivesTheBlenderCharacterItsChains) {
    const std::string model = copy(dataFile("character.obj"), "character.obj");
    testsupport::CommandRun run = testsupport::runSpindle({"--join-lines", model});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Scene file created.\n" + testsupport::join(folder, "character.lws") +
                  ": 16 chain bones in 3 chains, 6 goal bones, 6 goal objects\n");
    run = testsupport::runSpindle({"--join-lines", std::string(SPINDLE_EXAMPLES) + "/figure.lwo"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "spindle: " + std::string(SPINDLE_EXAMPLES) +
                  "/figure.lwo: --join-lines joins the lines of an OBJ model, and this is LWO2\n");
}
