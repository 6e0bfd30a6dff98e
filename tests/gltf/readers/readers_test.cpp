// The rigs the command writes, read by the tools users have: the Khronos
// glTF Validator and three.js's GLTFLoader (in node, one run for every
// file), and Blender's own importer (headless, one run for every file).
// Each test is skipped when its reader is not installed (npm ci --prefix
// tests/gltf/readers; Debian's blender), unless SPINDLE_REQUIRE_READERS=1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "gltf/box_model.h"
#include "gltf/hostile_scene.h"
#include "gltf/readers/reader_run.h"
#include "standin/gltf/rig_document.h"
#include "standin/scene_reader/rig.h"
#include "support/module.h"
#include "support/support.h"

using namespace standin;
using gltftest::Report;

namespace {

const std::string kReaders = SPINDLE_SOURCE_DIR "/tests/gltf/readers";

constexpr size_t kAnyMesh = size_t(-1);

// One rig written, with what the readers must find in it.
struct Case {
    std::string gltf;            // the file written
    Scene scene;                 // the scene it was made from, read back
    gltf::FrameRule rule;        // the frame it was written in
    size_t triangles = kAnyMesh; // the mesh's triangles (0: no mesh), or kAnyMesh: not checked
    bool skinned = false;        // the mesh is bound to the bones
    bool closed = false;         // the mesh is closed: its volume is positive
};

class GltfReaders : public testing::Test {
  protected:
    // Writes every rig the readers check.
    std::vector<Case> writeRigs() {
        std::vector<Case> cases;
        const auto add = [&](const std::string &scenePath, const std::string &gltf, gltf::FrameRule rule,
                             size_t triangles = kAnyMesh, bool skinned = false, bool closed = false) {
            Case c{gltf, {}, rule, triangles, skinned, closed};
            std::string reason;
            EXPECT_TRUE(readScene(scenePath, c.scene, reason, SceneNumbers::ForTheRig)) << scenePath << ": " << reason;
            EXPECT_TRUE(std::filesystem::exists(gltf)) << gltf;
            cases.push_back(std::move(c));
        };
        const auto run = [&](const std::vector<std::string> &arguments) {
            const testsupport::CommandRun done = testsupport::runSpindle(arguments);
            EXPECT_EQ(done.status, 0) << done.err;
        };
        const std::string figure = testsupport::join(folder, "figure.lwo");
        testsupport::writeFile(figure, testsupport::readFile(SPINDLE_EXAMPLES "/figure.lwo"));
        run({"-q", "--gltf", testsupport::join(folder, "figure.glb"), figure});
        add(testsupport::join(folder, "figure.lws"), testsupport::join(folder, "figure.glb"), gltf::FrameRule::MirrorZ);

        // A box around a chain, skinned to it, from either format.
        const gltftest::BoxModel box = gltftest::boxModel();
        testsupport::writeFile(testsupport::join(folder, "box.mtl"), gltftest::boxMtl());
        for (const std::string model : {"box.lwo", "box.obj"}) {
            const std::string path = testsupport::join(folder, model);
            const bool obj = model == "box.obj";
            testsupport::writeFile(path, obj ? gltftest::boxObj(box) : gltftest::boxLwo2(box));
            run({"-q", "-o", path + ".lws", "--gltf", path + ".glb", path});
            add(path + ".lws", path + ".glb", obj ? gltf::FrameRule::Unchanged : gltf::FrameRule::MirrorZ,
                2 * box.quads.size(), true, true);
        }
        // Faces at the ends of a float's range, under a chain: two beyond it
        // (left out, the quad alone stays), and one so small that its points
        // are 0 as floats and its vertices' other bones weigh 0.
        for (const auto &[model, triangles] : {std::pair<const char *, size_t>{"beyond_float.obj", 2},
                                               std::pair<const char *, size_t>{"below_float.obj", kAnyMesh}}) {
            const std::string path = testsupport::join(folder, model);
            testsupport::writeFile(path,
                                   testsupport::readFile(SPINDLE_SOURCE_DIR "/tests/gltf/data/" + std::string(model)));
            run({"-q", "-o", path + ".lws", "--gltf", path + ".glb", path});
            add(path + ".lws", path + ".glb", gltf::FrameRule::Unchanged, triangles, true);
        }
        // The corpus's faces, through scenes that load them: 6 quads, and
        // the concave polygon in either format (64 triangles).
        const std::pair<const char *, size_t> faces[] = {
            {"simple_cube.lwo", 12}, {"concave_polygon.lwo", 64}, {"LWOB_ConcavePolygon.lwo", 64}};
        for (const auto &[model, triangles] : faces) {
            const std::string scene = testsupport::join(folder, std::string(model) + ".lws");
            testsupport::writeFile(testsupport::join(folder, model),
                                   testsupport::readFile(SPINDLE_TEST_DATA "/" + std::string(model)));
            testsupport::writeFile(scene, "LWSC\n3\n\nLoadObjectLayer 1 " + std::string(model) + "\nShowObject 6 7\n");
            run({"show", scene, "-o", scene + ".glb"});
            add(scene, scene + ".glb", gltf::FrameRule::MirrorZ, triangles, false,
                std::string(model) == "simple_cube.lwo");
        }

        const std::string character = testsupport::join(folder, "character.obj");
        testsupport::writeFile(character, testsupport::readFile(SPINDLE_SOURCE_DIR "/tests/gltf/data/character.obj"));
        run({"-q", "--join-lines", "--gltf", testsupport::join(folder, "character.gltf"), character});
        add(testsupport::join(folder, "character.lws"), testsupport::join(folder, "character.gltf"),
            gltf::FrameRule::Unchanged);

        const std::string hostile = testsupport::join(folder, "hostile.lws");
        testsupport::writeFile(hostile, gltftest::hostileScene());
        const std::string overflowing = testsupport::join(folder, "overflowing.lws");
        testsupport::writeFile(overflowing, gltftest::overflowingScene());
        std::vector<std::string> scenes = {hostile, overflowing, SPINDLE_TEST_DATA "/scenes/typical.lws",
                                           SPINDLE_TEST_DATA "/scenes/optimize_goal_parent.lws"};
        const std::string corpus = SPINDLE_SOURCE_DIR "/../shared/corpus/lws";
        if (std::filesystem::is_directory(corpus))
            for (const auto &entry : std::filesystem::directory_iterator(corpus))
                if (entry.path().extension() == ".lws")
                    scenes.push_back(entry.path().string());
        for (size_t i = 0; i < scenes.size(); ++i) {
            const std::string out = testsupport::join(folder, "shown" + std::to_string(i) + (i % 2 ? ".glb" : ".gltf"));
            run({"show", scenes[i], "-o", out});
            add(scenes[i], out, gltf::FrameRule::MirrorZ);
        }
        return cases;
    }

    testsupport::TempDir temp;
    std::string folder = temp.path;
};

// Where the readers must find each joint and goal of a case.
struct Expected {
    std::string name;       // as the file names it
    std::string parent;     // the parent node's name
    std::string parentBone; // the parent bone's name, or empty
    Vec3 at{}, tip{};       // in glTF's frame
    bool bone = false;
    bool tipIsBlenders = false; // Blender's importer puts the tail at the tip
    std::string goalFor;
};

std::vector<Expected> expectations(const Case &c) {
    const RigPlacement placed = placeRig(c.scene);
    const RigPlacement putRight = placeRig(c.scene, NotFinite::PutRight);
    const gltf::RigDocument rig = gltf::rigDocument(c.scene, putRight, c.rule, "");
    const double s = c.rule == gltf::FrameRule::MirrorZ ? -1 : 1;
    const auto frame = [&](const Vec3 &p) { return Vec3{p[0], p[1], s * p[2]}; };
    const auto finite = [](const Vec3 &p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); };
    std::vector<Expected> out;
    const auto &nodes = rig.document.nodes;
    std::vector<std::string> parentOf(nodes.size(), "");
    for (const gltf::Node &node : nodes)
        for (int child : node.children)
            parentOf[size_t(child)] = node.name;
    // Bones put right, and the bones under them, are not where the scene
    // says: only the file's validity counts for them.
    const auto wasPutRight = [&](size_t i) {
        for (int at = int(i), hops = 0; at >= 0 && hops <= int(c.scene.items.size());
             at = c.scene.items[size_t(at)].parent, ++hops)
            if (std::find(putRight.notFinite.begin(), putRight.notFinite.end(), at) != putRight.notFinite.end())
                return true;
        return false;
    };
    for (size_t i = 0; i < c.scene.items.size(); ++i) {
        if (rig.boneNode[i] < 0 || !finite(placed.base[i]) || !finite(placed.tip[i]) || wasPutRight(i))
            continue;
        Expected e;
        e.name = nodes[size_t(rig.boneNode[i])].name;
        e.parent = parentOf[size_t(rig.boneNode[i])];
        e.parentBone = e.parent == nodes[0].name ? "" : e.parent;
        e.at = frame(placed.base[i]);
        e.tip = frame(placed.tip[i]);
        e.bone = true;
        // Blender takes the nearest child joint as the tail, and a bone
        // shorter than 0.004 as long as its parent.
        e.tipIsBlenders = std::abs(c.scene.items[i].restLength) > 0.004;
        for (size_t k = 0; k < c.scene.items.size(); ++k)
            if (rig.boneNode[k] >= 0 && c.scene.items[k].parent == int(i) &&
                std::hypot(placed.base[k][0] - placed.tip[i][0], placed.base[k][1] - placed.tip[i][1],
                           placed.base[k][2] - placed.tip[i][2]) > 1e-5)
                e.tipIsBlenders = false;
        out.push_back(e);
    }
    for (const gltf::Node &node : nodes)
        for (const auto &[key, value] : node.extras)
            if (key == "goalFor") {
                Expected e;
                e.name = node.name;
                e.at = {node.translation[0], node.translation[1], node.translation[2]};
                e.goalFor = value;
                out.push_back(e);
            }
    return out;
}

bool near(const Vec3 &a, const std::vector<std::string> &f, size_t from) {
    for (size_t k = 0; k < 3; ++k)
        if (std::abs(a[k] - std::strtod(f.at(from + k).c_str(), nullptr)) > 2e-4 * std::max(1.0, std::abs(a[k])))
            return false;
    return true;
}

} // namespace

TEST_F(GltfReaders, validatorFindsNothingAndThreeJsSeesEveryJointAndGoal) {
    REQUIRE_READER(std::filesystem::exists(kReaders + "/node_modules/three") &&
                       std::filesystem::exists(kReaders + "/node_modules/gltf-validator") &&
                       gltftest::haveCommand("node --version"),
                   "node with the npm packages of tests/gltf/readers");
    const std::vector<Case> cases = writeRigs();
    std::string command = "cd '" + kReaders + "' && node read_gltf.mjs";
    for (const Case &c : cases)
        command += " '" + c.gltf + "'";
    Report report;
    ASSERT_TRUE(gltftest::runReader(command, report));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.gltf);
        const auto &lines = report[c.gltf];
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], (std::vector<std::string>{"validator", "0", "0"}));
        for (const auto &f : lines)
            EXPECT_NE(f[0], "issue") << f.at(1) << " " << f.at(2) << " " << f.at(3);
        for (const Expected &e : expectations(c)) {
            const std::string name = gltf::threeJsName(e.name), parent = gltf::threeJsName(e.parent);
            bool found = false, tip = !e.bone;
            for (const auto &f : lines) {
                if (f.size() < 7 || f[0] != "three")
                    continue;
                if (f[2] == name && f[1] == (e.bone ? "joint" : "node")) {
                    found = true;
                    EXPECT_TRUE(near(e.at, f, 4)) << name << " at " << f[4] << " " << f[5] << " " << f[6];
                    if (e.bone)
                        EXPECT_EQ(f[3], parent) << name;
                    else
                        EXPECT_EQ(f.at(7), e.goalFor) << name;
                }
                tip = tip || (f[1] == "joint" && f[3] == name && near(e.tip, f, 4));
            }
            EXPECT_TRUE(found) << "three.js has no " << name;
            EXPECT_TRUE(tip) << "three.js has no joint under " << name << " at its tip";
        }
        size_t meshes = 0;
        for (const auto &f : lines) {
            if (c.triangles == kAnyMesh || f.size() < 6 || f[0] != "three" || f[1] != "mesh")
                continue;
            ++meshes;
            EXPECT_EQ(f[3], c.skinned ? "1" : "0") << "skinned";
            EXPECT_EQ(f[4], std::to_string(c.triangles));
            EXPECT_TRUE(!c.closed || std::strtod(f[5].c_str(), nullptr) > 0) << "faces inwards: volume " << f[5];
        }
        EXPECT_TRUE(c.triangles == kAnyMesh || meshes == (c.triangles > 0 ? 1u : 0u)) << meshes << " meshes";
    }
}

TEST_F(GltfReaders, blenderMakesEachBoneFromBaseToTipAndEachGoalAnEmpty) {
    REQUIRE_READER(gltftest::haveCommand("blender --version"), "Blender (Debian's blender)");
    const std::vector<Case> cases = writeRigs();
    std::string command = gltftest::blenderCommand(kReaders + "/blender_read.py");
    for (const Case &c : cases)
        command += " '" + c.gltf + "'";
    Report report;
    ASSERT_TRUE(gltftest::runReader(command + " 2>/dev/null", report));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.gltf);
        const auto &lines = report[c.gltf];
        ASSERT_FALSE(lines.empty());
        for (const Expected &e : expectations(c)) {
            bool found = false;
            for (const auto &f : lines) {
                ASSERT_NE(f.at(1), "error") << f.at(2);
                if (f[1] != (e.bone ? "bone" : "empty") || f[2] != e.name)
                    continue;
                found = true;
                if (!e.bone) {
                    EXPECT_TRUE(near(e.at, f, 3)) << e.name;
                    continue;
                }
                EXPECT_EQ(f.at(3), e.parentBone) << e.name;
                EXPECT_TRUE(near(e.at, f, 4)) << e.name << " head";
                if (e.tipIsBlenders) {
                    EXPECT_TRUE(near(e.tip, f, 7)) << e.name << " tail " << f[7] << " " << f[8] << " " << f[9];
                }
            }
            EXPECT_TRUE(found) << "Blender has no " << (e.bone ? "bone " : "empty ") << e.name;
        }
        // The mesh, bound to the armature by vertex groups and a modifier.
        size_t meshes = 0;
        for (const auto &f : lines) {
            if (c.triangles == kAnyMesh || f.size() < 7 || f[1] != "mesh")
                continue;
            ++meshes;
            EXPECT_EQ(f[3], std::to_string(c.triangles));
            EXPECT_EQ(std::strtol(f[4].c_str(), nullptr, 10) > 0, c.skinned) << "vertex groups " << f[4];
            EXPECT_EQ(f[5], c.skinned ? "1" : "0") << "Armature modifier";
            EXPECT_TRUE(!c.closed || std::strtod(f[6].c_str(), nullptr) > 0) << "faces inwards: volume " << f[6];
        }
        EXPECT_TRUE(c.triangles == kAnyMesh || meshes == (c.triangles > 0 ? 1u : 0u)) << meshes << " meshes";
    }
}
