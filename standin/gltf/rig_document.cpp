// The rig's glTF document, made in steps: the nodes named in file order,
// the bones' global poses (bone_pose.h), each bone's node under its parent,
// the goal nulls, the end joints, and the skin.
#include "standin/gltf/rig_document.h"

#include <algorithm>
#include <cmath>

#include "standin/gltf/bone_pose.h"

namespace standin::gltf {

namespace {

Node namedNode(std::string name) {
    Node node;
    node.name = std::move(name);
    return node;
}

} // namespace

std::string rigRootName(const Scene &scene) {
    const int first = firstObject(scene);
    // Scenes name objects by paths of any system.
    return first >= 0 && scene.items[size_t(first)].kind == ItemKind::Object
        ? fileTitle(scene.items[size_t(first)].name)
        : "Armature";
}

namespace {

// The nodes of the scene's items while the document is made.
struct ItemNodes {
    std::vector<int> nullNode;    // per scene item: a goal null's node, or -1
    std::vector<long> boneNumber; // per scene item: a bone's number from 1, or 0
    long bones = 0;
};

// The root node, then names and nodes in file order: the bones, and the
// goal nulls (every null object after the first object).
ItemNodes nameNodes(const Scene &scene, RigDocument &rig) {
    const size_t n = scene.items.size();
    Document &doc = rig.document;
    rig.boneNode.assign(n, -1);
    rig.boneJoint.assign(n, -1);
    doc.nodes.push_back(namedNode(claimName(rig.names, rigRootName(scene), 0)));
    doc.sceneNodes = {rig.root};
    ItemNodes made{std::vector<int>(n, -1), std::vector<long>(n, 0), 0};
    const int first = firstObject(scene);
    long objects = 0;
    for (size_t i = 0; i < n; ++i) {
        const SceneItem &item = scene.items[i];
        if (item.kind == ItemKind::Bone) {
            made.boneNumber[i] = ++made.bones;
            rig.boneNode[i] = int(doc.nodes.size());
            doc.nodes.push_back(namedNode(claimName(rig.names, item.name, made.bones)));
        } else if (isObject(item)) {
            ++objects;
            if (item.kind == ItemKind::NullObject && int(i) != first) {
                made.nullNode[i] = int(doc.nodes.size());
                doc.nodes.push_back(namedNode(claimName(rig.names, item.name, objects)));
            }
        }
    }
    return made;
}

// Per scene item: whether a child bone starts at the bone's tip (then it
// needs no end joint).
std::vector<bool> continuedBones(const Scene &scene, const RigPlacement &pose, const RigDocument &rig) {
    const size_t n = scene.items.size();
    std::vector<bool> continued(n, false);
    for (size_t i = 0; i < n; ++i) {
        const int parent = pose.parent[i];
        if (scene.items[i].kind != ItemKind::Bone || parent < 0 || rig.boneNode[size_t(parent)] < 0)
            continue;
        const double gap =
            std::hypot(pose.base[i][0] - pose.tip[size_t(parent)][0], pose.base[i][1] - pose.tip[size_t(parent)][1],
                       pose.base[i][2] - pose.tip[size_t(parent)][2]);
        if (gap <= 1e-5 * std::max(1.0, std::abs(pose.length[size_t(parent)])))
            continued[size_t(parent)] = true;
    }
    return continued;
}

// Each bone's global pose in glTF's frame (others: the identity).
std::vector<Pose> globalPoses(const RigPlacement &pose, const RigDocument &rig, FrameRule rule) {
    std::vector<Pose> global(rig.boneNode.size());
    for (size_t i = 0; i < global.size(); ++i) {
        if (rig.boneNode[i] < 0)
            continue;
        global[i].rotation = boneRotation(pose.frame[i], rule == FrameRule::MirrorZ, pose.length[i] < 0);
        global[i].translation = inGltfFrame(pose.base[i], rule);
    }
    return global;
}

// The bone above item `i` in the placement, or -1 where its parent is no
// bone.
int parentBone(const RigPlacement &pose, const RigDocument &rig, size_t i) {
    const int parent = pose.parent[i];
    return parent >= 0 && rig.boneNode[size_t(parent)] >= 0 ? parent : -1;
}

// The first bone of the chain that a goal on the bone at item `i` bends:
// from the bone's parent up through the bones it hangs from, but never
// through a bone where another goal's chain ends (`tip`: the goals' bones'
// parents), since two goals' chains that share bones fight over them; the
// bone itself when it hangs from no bone.  The placement's parents have no
// loops.
size_t chainRootOf(const RigPlacement &pose, const RigDocument &rig, const std::vector<uint8_t> &tip, size_t i) {
    const int first = parentBone(pose, rig, i);
    if (first < 0)
        return i;
    size_t root = size_t(first);
    for (size_t steps = 0; steps < rig.boneNode.size(); ++steps) {
        const int parent = parentBone(pose, rig, root);
        if (parent < 0 || tip[size_t(parent)])
            break;
        root = size_t(parent);
    }
    return root;
}

// The goal null that the bone at item `i` reaches for, or -1.
int goalNullOf(const Scene &scene, const ItemNodes &made, size_t i) {
    const int goal = scene.items[i].goal;
    return made.nullNode[goal >= 0 && size_t(goal) < scene.items.size() ? size_t(goal) : i];
}

// By item: 1 for the parent of every bone that a goal null is for (the
// first bone in the scene's order that reaches for it), where that goal's
// chain ends.
std::vector<uint8_t> chainTips(const Scene &scene, const RigPlacement &pose, const ItemNodes &made,
                               const RigDocument &rig) {
    std::vector<uint8_t> tip(scene.items.size(), 0), claimed(rig.document.nodes.size(), 0);
    for (size_t i = 0; i < scene.items.size(); ++i) {
        const int goalNode = rig.boneNode[i] >= 0 ? goalNullOf(scene, made, i) : -1;
        if (goalNode < 0 || claimed[size_t(goalNode)])
            continue;
        claimed[size_t(goalNode)] = 1;
        if (parentBone(pose, rig, i) >= 0)
            tip[size_t(parentBone(pose, rig, i))] = 1;
    }
    return tip;
}

// Each bone's node relative to its parent bone's (or under the root), with
// its goal null and the null naming each other (and the first bone of the
// bone's chain); the goal nulls under the
// root at their places.
void placeNodes(const Scene &scene, const RigPlacement &pose, const std::vector<Pose> &global, const ItemNodes &made,
                FrameRule rule, RigDocument &rig) {
    const size_t n = scene.items.size();
    Document &doc = rig.document;
    const std::vector<uint8_t> tip = chainTips(scene, pose, made, rig);
    for (size_t i = 0; i < n; ++i) {
        if (rig.boneNode[i] < 0)
            continue;
        const int parent = pose.parent[i];
        const bool underBone = parent >= 0 && rig.boneNode[size_t(parent)] >= 0;
        const Pose from = underBone ? global[size_t(parent)] : Pose{};
        Node &node = doc.nodes[size_t(rig.boneNode[i])];
        const Vec3 offset = {global[i].translation[0] - from.translation[0],
                             global[i].translation[1] - from.translation[1],
                             global[i].translation[2] - from.translation[2]};
        node.translation = tidy(rotateBack(from.rotation, offset));
        node.rotation = tidy(quaternion(relative(from.rotation, global[i].rotation)));
        doc.nodes[size_t(underBone ? rig.boneNode[size_t(parent)] : rig.root)].children.push_back(rig.boneNode[i]);
        const int goalNode = goalNullOf(scene, made, i);
        if (goalNode >= 0) {
            node.extras.push_back({"goal", doc.nodes[size_t(goalNode)].name});
            Node &null = doc.nodes[size_t(goalNode)];
            if (null.extras.empty()) {
                null.extras.push_back({"goalFor", node.name});
                null.extras.push_back(
                    {"chainRoot", doc.nodes[size_t(rig.boneNode[chainRootOf(pose, rig, tip, i)])].name});
            }
        }
    }
    for (size_t i = 0; i < n; ++i) {
        if (made.nullNode[i] < 0)
            continue;
        doc.nodes[size_t(made.nullNode[i])].translation = inGltfFrame(pose.base[i], rule);
        doc.nodes[size_t(rig.root)].children.push_back(made.nullNode[i]);
    }
}

// A joint at the tip of a bone that no child bone continues.
struct EndJoint {
    int node = -1;
    Pose global;
};

// The end joints, each a child of its bone's node, +Y along the bone.
std::vector<EndJoint> addEndJoints(const RigPlacement &pose, const std::vector<Pose> &global,
                                   const std::vector<bool> &continued, const ItemNodes &made, RigDocument &rig) {
    Document &doc = rig.document;
    std::vector<EndJoint> ends;
    for (size_t i = 0; i < rig.boneNode.size(); ++i) {
        if (rig.boneNode[i] < 0 || continued[i])
            continue;
        Node end =
            namedNode(claimName(rig.names, doc.nodes[size_t(rig.boneNode[i])].name + "_end", made.boneNumber[i]));
        const Vec3 along{0, std::abs(pose.length[i]), 0};
        end.translation = along;
        const Vec3 reach = frames::times(global[i].rotation, along);
        ends.push_back({int(doc.nodes.size()),
                        Pose{global[i].rotation,
                             {global[i].translation[0] + reach[0], global[i].translation[1] + reach[1],
                              global[i].translation[2] + reach[2]}}});
        doc.nodes[size_t(rig.boneNode[i])].children.push_back(int(doc.nodes.size()));
        doc.nodes.push_back(std::move(end));
    }
    return ends;
}

// The skin: every bone node in file order, then every end node, each with
// the inverse of its global pose at rest.
void addSkin(const std::vector<Pose> &global, const std::vector<EndJoint> &ends, long bones, RigDocument &rig) {
    Document &doc = rig.document;
    Skin skin;
    std::vector<float> matrices;
    matrices.reserve(16 * (size_t(bones) + ends.size()));
    for (size_t i = 0; i < rig.boneNode.size(); ++i) {
        if (rig.boneNode[i] < 0)
            continue;
        rig.boneJoint[i] = int(skin.joints.size());
        skin.joints.push_back(rig.boneNode[i]);
        matrices.resize(matrices.size() + 16);
        inverseMatrix(global[i], matrices.data() + matrices.size() - 16);
    }
    for (const EndJoint &end : ends) {
        skin.joints.push_back(end.node);
        matrices.resize(matrices.size() + 16);
        inverseMatrix(end.global, matrices.data() + matrices.size() - 16);
    }
    const int view = addBlock(doc, matrices.data(), matrices.size() * sizeof(float));
    Accessor accessor;
    accessor.bufferView = view;
    accessor.componentType = kFloat;
    accessor.count = skin.joints.size();
    accessor.type = "MAT4";
    skin.inverseBindMatrices = addAccessor(doc, accessor);
    doc.skins.push_back(std::move(skin));
    rig.skin = 0;
}

} // namespace

RigDocument rigDocument(const Scene &scene, const RigPlacement &placed, FrameRule rule, const std::string &generator) {
    RigDocument rig;
    rig.document.generator = generator;
    const ItemNodes made = nameNodes(scene, rig);
    const std::vector<bool> continued = continuedBones(scene, placed, rig);
    const std::vector<Pose> global = globalPoses(placed, rig, rule);
    placeNodes(scene, placed, global, made, rule, rig);
    const std::vector<EndJoint> ends = addEndJoints(placed, global, continued, made, rig);
    if (made.bones > 0)
        addSkin(global, ends, made.bones, rig);
    return rig;
}

} // namespace standin::gltf
