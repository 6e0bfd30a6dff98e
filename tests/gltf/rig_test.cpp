// The rig's glTF document, checked on its records: where each joint ends
// up once its parents' transforms are composed, as a reader composes them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "standin/gltf/rig_document.h"
#include "standin/scene_reader/rig.h"

using namespace standin;
using namespace standin::gltf;

namespace {

using Matrix = std::array<std::array<double, 4>, 4>;

Matrix nodeMatrix(const Node &node) {
    const auto [x, y, z, w] = node.rotation;
    const auto &t = node.translation;
    return Matrix{{{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w), t[0]},
                   {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w), t[1]},
                   {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y), t[2]},
                   {0, 0, 0, 1}}};
}

Matrix times(const Matrix &a, const Matrix &b) {
    Matrix r{};
    for (size_t i = 0; i < 4; ++i)
        for (size_t j = 0; j < 4; ++j)
            for (size_t k = 0; k < 4; ++k)
                r[i][j] += a[i][k] * b[k][j];
    return r;
}

// Every node's global matrix, composed from the scene's roots down.
std::vector<Matrix> globals(const Document &doc) {
    std::vector<Matrix> global(doc.nodes.size());
    std::vector<std::pair<int, Matrix>> stack;
    const Matrix identity{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    for (int root : doc.sceneNodes)
        stack.push_back({root, identity});
    while (!stack.empty()) {
        const auto [node, parent] = stack.back();
        stack.pop_back();
        global[size_t(node)] = times(parent, nodeMatrix(doc.nodes[size_t(node)]));
        for (int child : doc.nodes[size_t(node)].children)
            stack.push_back({child, global[size_t(node)]});
    }
    return global;
}

int nodeNamed(const Document &doc, const std::string &name) {
    for (size_t i = 0; i < doc.nodes.size(); ++i)
        if (doc.nodes[i].name == name)
            return int(i);
    ADD_FAILURE() << "no node " << name;
    return 0;
}

Scene sceneOf(const std::string &text) {
    Scene scene;
    std::string reason;
    EXPECT_TRUE(readSceneText(text.data(), text.size(), scene, reason)) << reason;
    return scene;
}

std::string bone(const std::string &name, const std::string &position, const std::string &direction,
                 const std::string &length, const std::string &parent) {
    return "AddBone\nBoneName " + name + "\nBoneRestPosition " + position + "\nBoneRestDirection " + direction +
        "\nBoneRestLength " + length + "\n" + parent;
}

std::string null(const std::string &name, const std::string &x, const std::string &y, const std::string &z) {
    std::string text = "AddNullObject " + name + "\nObjectMotion\nNumChannels 9\n";
    const std::string values[] = {x, y, z};
    for (int c = 0; c < 3; ++c)
        text += "Channel " + std::to_string(c) + "\n{ Envelope\n  1\n  Key " + values[c] +
            " 0 0 0 0 0 0 0 0\n  Behaviors 1 1\n}\n";
    return text + "ParentItem 10000000\n";
}

// Thigh turned every way, Shin continuing it, Kneecap from its middle, a
// goal bone at Shin's tip, and the goal null it reaches for.
const std::string kLeg = "LWSC\n3\nLoadObjectLayer 1 C:\\Models\\My Body.lwo\n" +
    bone("Thigh", "0.1 1 0.2", "30 -60 20", "0.5", "ParentItem 10000000\n") +
    bone("Shin", "0 0 0.5", "10 15 -5", "0.4", "ParentItem 40000000\n") +
    bone("Kneecap", "0 0.05 0.25", "0 90 0", "0.1", "ParentItem 40000000\n") +
    bone("Shin_GoalBone", "0 0 0.4", "0 0 0", "0.01", "BoneStrength 0\nParentItem 40010000\nGoalObject 2\n") +
    null("Shin_Goal", "0.3", "0.2", "-0.1");

void expectNear(const std::array<double, 3> &got, const std::array<double, 3> &want, const std::string &what) {
    for (size_t k = 0; k < 3; ++k)
        EXPECT_NEAR(got[k], want[k], 1e-9) << what << " axis " << k;
}

} // namespace

TEST(GltfRig, jointsSitAtBaseAndTipWithPlusYAlongTheBoneInEitherFrame) {
    const Scene scene = sceneOf(kLeg);
    const RigPlacement placed = placeRig(scene);
    for (FrameRule rule : {FrameRule::MirrorZ, FrameRule::Unchanged}) {
        const double s = rule == FrameRule::MirrorZ ? -1 : 1;
        const RigDocument rig = rigDocument(scene, placed, rule, "test");
        const std::vector<Matrix> global = globals(rig.document);
        for (size_t i = 0; i < scene.items.size(); ++i) {
            if (rig.boneNode[i] < 0)
                continue;
            const Matrix &m = global[size_t(rig.boneNode[i])];
            const Vec3 &base = placed.base[i], &tip = placed.tip[i];
            const std::string name = scene.items[i].name;
            expectNear({m[0][3], m[1][3], m[2][3]}, {base[0], base[1], s * base[2]}, name + " base");
            const double length = scene.items[i].restLength;
            expectNear({m[0][1] * length, m[1][1] * length, m[2][1] * length},
                       {tip[0] - base[0], tip[1] - base[1], s * (tip[2] - base[2])}, name + " +Y");
            const double determinant = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
            EXPECT_NEAR(determinant, 1, 1e-12) << name;
        }
    }
    // The bank turns the node about +Y: a bone along +z banked 90 degrees
    // has its up (+Z) along the model's -x, in both frames.
    const Scene banked =
        sceneOf("LWSC\n3\nAddNullObject N\n" + bone("B", "0 0 0", "0 0 90", "1", "ParentItem 10000000\n"));
    const RigPlacement bankedPlaced = placeRig(banked, NotFinite::PutRight);
    const Matrix mirrored = globals(rigDocument(banked, bankedPlaced, FrameRule::MirrorZ, "").document)[1];
    expectNear({mirrored[0][0], mirrored[1][0], mirrored[2][0]}, {0, 1, 0}, "mirrored +X");
    expectNear({mirrored[0][1], mirrored[1][1], mirrored[2][1]}, {0, 0, -1}, "mirrored +Y");
    expectNear({mirrored[0][2], mirrored[1][2], mirrored[2][2]}, {-1, 0, 0}, "mirrored +Z");
    const Matrix unchanged = globals(rigDocument(banked, bankedPlaced, FrameRule::Unchanged, "").document)[1];
    expectNear({unchanged[0][0], unchanged[1][0], unchanged[2][0]}, {0, -1, 0}, "unchanged +X");
    expectNear({unchanged[0][1], unchanged[1][1], unchanged[2][1]}, {0, 0, 1}, "unchanged +Y");
    expectNear({unchanged[0][2], unchanged[1][2], unchanged[2][2]}, {-1, 0, 0}, "unchanged +Z");
}

TEST(GltfRig, endJointsSkinAndGoalsAsReadersNeedThem) {
    const Scene scene = sceneOf(kLeg);
    const RigDocument rig = rigDocument(scene, placeRig(scene, NotFinite::PutRight), FrameRule::MirrorZ, "test");
    const Document &doc = rig.document;
    const std::vector<Matrix> global = globals(doc);
    EXPECT_EQ(doc.nodes[0].name, "My Body");
    // Thigh goes on in Shin and Shin in its goal bone: only the others end.
    std::vector<std::string> names;
    for (const Node &node : doc.nodes)
        names.push_back(node.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"My Body", "Thigh", "Shin", "Kneecap", "Shin_GoalBone", "Shin_Goal",
                                        "Kneecap_end", "Shin_GoalBone_end"}));
    const Matrix &end = global[size_t(nodeNamed(doc, "Kneecap_end"))];
    const Vec3 tip = placeRig(scene).tip[3];
    expectNear({end[0][3], end[1][3], end[2][3]}, {tip[0], tip[1], -tip[2]}, "Kneecap's end");
    // One skin over every bone and end node, each inverse bind matrix the
    // inverse of the joint's global matrix.
    ASSERT_EQ(doc.skins.size(), 1u);
    const Skin &skin = doc.skins[0];
    EXPECT_EQ(skin.joints, (std::vector<int>{1, 2, 3, 4, 6, 7}));
    const Accessor &accessor = doc.accessors[size_t(skin.inverseBindMatrices)];
    ASSERT_EQ(accessor.count, skin.joints.size());
    ASSERT_EQ(accessor.type, "MAT4");
    std::vector<float> ibm(16 * accessor.count);
    std::memcpy(ibm.data(), doc.buffer.data() + doc.bufferViews[size_t(accessor.bufferView)].offset,
                ibm.size() * sizeof(float));
    for (size_t j = 0; j < skin.joints.size(); ++j) {
        Matrix inverse;
        for (size_t c = 0; c < 4; ++c)
            for (size_t r = 0; r < 4; ++r)
                inverse[r][c] = ibm[16 * j + 4 * c + r];
        const Matrix product = times(inverse, global[size_t(skin.joints[j])]);
        for (size_t r = 0; r < 4; ++r)
            for (size_t c = 0; c < 4; ++c)
                EXPECT_NEAR(product[r][c], r == c ? 1 : 0, 1e-6) << "joint " << j;
    }
    // The goal null at its place, and goal bone and null naming each other.
    const Node &goal = doc.nodes[size_t(nodeNamed(doc, "Shin_Goal"))];
    EXPECT_EQ(goal.translation, (std::array<double, 3>{0.3, 0.2, 0.1}));
    // The goal names its chain's first bone too: Thigh, two bones up; a
    // goal of a bone hung from the object names that bone.
    EXPECT_EQ(goal.extras, (Extras{{"goalFor", "Shin_GoalBone"}, {"chainRoot", "Thigh"}}));
    EXPECT_EQ(doc.nodes[size_t(nodeNamed(doc, "Shin_GoalBone"))].extras, (Extras{{"goal", "Shin_Goal"}}));
    const Scene tail = sceneOf("LWSC\n3\nLoadObjectLayer 1 Body.lwo\n" +
                               bone("Tail", "0 0 0", "0 0 0", "1", "ParentItem 10000000\nGoalObject 2\n") +
                               null("Tail_Goal", "0", "0", "1"));
    const Document tailDoc = rigDocument(tail, placeRig(tail, NotFinite::PutRight), FrameRule::MirrorZ, "").document;
    EXPECT_EQ(tailDoc.nodes[size_t(nodeNamed(tailDoc, "Tail_Goal"))].extras,
              (Extras{{"goalFor", "Tail"}, {"chainRoot", "Tail"}}));
    EXPECT_EQ(sceneFrameRule(scene), FrameRule::MirrorZ);
    EXPECT_EQ(sceneFrameRule(sceneOf("LWSC\n3\nLoadObject models/Skeleton.OBJ\n")), FrameRule::Unchanged);
    EXPECT_EQ(rigRootName(sceneOf("LWSC\n3\nAddNullObject NULL\n")), "Armature");
}

TEST(GltfRig, boneWhoseNumbersOverflowSitsAtItsParentsTipWithLengthZero) {
    const Scene scene = sceneOf("LWSC\n3\nAddNullObject N\n" + bone("A", "0 1 0", "0 -90 0", "1", "") +
                                bone("B", "1e300 0 1", "0 0 0", "1", "ParentItem 40000000\n") +
                                bone("C", "0 0 0", "0 0 0", "0.5", "ParentItem 40010000\n"));
    const RigPlacement putRight = placeRig(scene, NotFinite::PutRight);
    const RigDocument rig = rigDocument(scene, putRight, FrameRule::MirrorZ, "");
    EXPECT_EQ(putRight.notFinite, (std::vector<int>{2}));
    // The summary and the picture keep the numbers as composed, which
    // carry the overflow on to B's child.
    const RigPlacement kept = placeRig(scene);
    EXPECT_EQ(kept.notFinite, (std::vector<int>{2, 3}));
    EXPECT_EQ(kept.base[2][0], 1e300);
    const std::vector<Matrix> global = globals(rig.document);
    const Matrix &b = global[size_t(rig.boneNode[2])], &c = global[size_t(rig.boneNode[3])];
    expectNear({b[0][3], b[1][3], b[2][3]}, {0, 2, 0}, "B at A's tip");
    expectNear({c[0][3], c[1][3], c[2][3]}, {0, 2, 0}, "C from B's place");
    expectNear({c[0][1], c[1][1], c[2][1]}, {0, 1, 0}, "C along A");
    const std::string json = gltfJson(rig.document, {});
    EXPECT_EQ(json.find("inf"), std::string::npos);
    EXPECT_EQ(json.find("nan"), std::string::npos);
    EXPECT_EQ(json.find("e+300"), std::string::npos);
}
