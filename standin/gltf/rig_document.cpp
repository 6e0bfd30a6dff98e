// The rig's glTF document.  A bone's node takes its frame F (columns x, y,
// z; z along the bone) through the frame rule S into glTF: the node's +Y
// is S z (the bone's direction), its +Z is S y (the bone's up, which the
// bank turns), and its +X completes a right-handed set: S x when S mirrors
// z, -x when it does not.  A bone of negative length turns about its +Z so
// that +Y still points from base to tip.
#include "standin/gltf/rig_document.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "standin/scene_reader/rest_frames.h"

namespace standin::gltf {

namespace {

using frames::Rotation;

struct Pose {
    Rotation rotation{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    Vec3 translation{};
};

// mᵀ v.
Vec3 rotateBack(const Rotation &m, const Vec3 &v) {
    Vec3 r;
    for (size_t i = 0; i < 3; ++i)
        r[i] = m[0][i] * v[0] + m[1][i] * v[1] + m[2][i] * v[2];
    return r;
}

// aᵀ b.
Rotation relative(const Rotation &a, const Rotation &b) {
    Rotation r;
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j)
            r[i][j] = a[0][i] * b[0][j] + a[1][i] * b[1][j] + a[2][i] * b[2][j];
    return r;
}

// The unit quaternion (x, y, z, w) of a rotation matrix.
std::array<double, 4> quaternion(const Rotation &m) {
    std::array<double, 4> q;
    const double trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0) {
        const double s = 2 * std::sqrt(trace + 1);
        q = {(m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s, s / 4};
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        const double s = 2 * std::sqrt(1 + m[0][0] - m[1][1] - m[2][2]);
        q = {s / 4, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s, (m[2][1] - m[1][2]) / s};
    } else if (m[1][1] > m[2][2]) {
        const double s = 2 * std::sqrt(1 + m[1][1] - m[0][0] - m[2][2]);
        q = {(m[0][1] + m[1][0]) / s, s / 4, (m[1][2] + m[2][1]) / s, (m[0][2] - m[2][0]) / s};
    } else {
        const double s = 2 * std::sqrt(1 + m[2][2] - m[0][0] - m[1][1]);
        q = {(m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, s / 4, (m[1][0] - m[0][1]) / s};
    }
    const double norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (double &v : q)
        v /= norm;
    if (q[3] < 0)
        for (double &v : q)
            v = -v;
    return q;
}

// Rounding noise (a component below 1e-12 of the largest) set to 0, so
// that the file shows the numbers a person would write: [0, 0.2, 0], not
// [1.2e-17, 0.2, 0].
template <size_t N>
std::array<double, N> tidy(std::array<double, N> v) {
    double largest = 0;
    for (double c : v)
        largest = std::max(largest, std::abs(c));
    for (double &c : v)
        if (std::abs(c) < 1e-12 * largest)
            c = 0;
    return v;
}

// The node's global rotation for a bone of frame `f` (rows; columns are
// the bone's axes), by the mapping above.
Rotation boneRotation(const Rotation &f, bool mirror, bool negative) {
    const double s = mirror ? -1 : 1; // the z factor of S
    const double xSign = (mirror ? 1 : -1) * (negative ? -1 : 1), ySign = negative ? -1 : 1;
    const Vec3 x{xSign * f[0][0], xSign * f[1][0], xSign * s * f[2][0]};
    const Vec3 y{ySign * f[0][2], ySign * f[1][2], ySign * s * f[2][2]};
    const Vec3 z{f[0][1], f[1][1], s * f[2][1]};
    return Rotation{{{x[0], y[0], z[0]}, {x[1], y[1], z[1]}, {x[2], y[2], z[2]}}};
}

// The inverse of a rigid pose as a column-major 4x4 matrix of floats.
void inverseMatrix(const Pose &pose, float *out) {
    const Vec3 t = rotateBack(pose.rotation, pose.translation);
    for (size_t column = 0; column < 3; ++column)
        for (size_t row = 0; row < 3; ++row)
            out[4 * column + row] = static_cast<float>(pose.rotation[column][row]);
    for (size_t row = 0; row < 3; ++row)
        out[row * 4 + 3] = 0;
    out[12] = static_cast<float>(-t[0]);
    out[13] = static_cast<float>(-t[1]);
    out[14] = static_cast<float>(-t[2]);
    out[15] = 1;
}

Node namedNode(std::string name) {
    Node node;
    node.name = std::move(name);
    return node;
}

// The scene's first object or null object, or null when it has none.
const SceneItem *firstObjectOf(const Scene &scene) {
    const int first = firstObject(scene);
    return first >= 0 ? &scene.items[size_t(first)] : nullptr;
}

} // namespace

std::string rigRootName(const Scene &scene) {
    const SceneItem *object = firstObjectOf(scene);
    // Scenes name objects by paths of any system.
    return object && object->kind == ItemKind::Object ? fileTitle(object->name) : "Armature";
}

FrameRule sceneFrameRule(const Scene &scene) {
    const SceneItem *object = firstObjectOf(scene);
    if (!object || object->kind != ItemKind::Object || object->name.size() < 4)
        return frameRuleOf("");
    std::string extension = object->name.substr(object->name.size() - 4);
    for (char &c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return frameRuleOf(extension == ".obj" ? "OBJ" : "");
}

RigDocument rigDocument(const Scene &scene, const RigPlacement &pose, FrameRule rule, const std::string &generator) {
    const bool mirror = rule == FrameRule::MirrorZ;
    const size_t n = scene.items.size();
    const auto toGltf = [&](const Vec3 &p) { return Vec3{p[0], p[1], mirror ? -p[2] : p[2]}; };

    RigDocument rig;
    Document &doc = rig.document;
    doc.generator = generator;
    rig.notFinite = pose.notFinite;
    rig.boneNode.assign(n, -1);
    rig.boneJoint.assign(n, -1);
    doc.nodes.push_back(namedNode(claimName(rig.names, rigRootName(scene), 0)));
    doc.sceneNodes = {rig.root};

    // Names and nodes in file order: the bones, the goal nulls (every null
    // object after the first object), then the end joints.
    const SceneItem *first = firstObjectOf(scene);
    std::vector<int> nullNode(n, -1);
    std::vector<long> boneNumber(n, 0);
    long bones = 0, objects = 0;
    for (size_t i = 0; i < n; ++i) {
        const SceneItem &item = scene.items[i];
        if (item.kind == ItemKind::Bone) {
            boneNumber[i] = ++bones;
            rig.boneNode[i] = int(doc.nodes.size());
            doc.nodes.push_back(namedNode(claimName(rig.names, item.name, bones)));
        } else if (isObject(item)) {
            ++objects;
            if (item.kind == ItemKind::NullObject && &item != first) {
                nullNode[i] = int(doc.nodes.size());
                doc.nodes.push_back(namedNode(claimName(rig.names, item.name, objects)));
            }
        }
    }

    // Global poses, and each bone node under its parent bone's or the root.
    std::vector<Pose> global(n);
    std::vector<Pose> ends;
    std::vector<int> endOf;
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
    for (size_t i = 0; i < n; ++i) {
        if (rig.boneNode[i] < 0)
            continue;
        global[i].rotation = boneRotation(pose.frame[i], mirror, pose.length[i] < 0);
        global[i].translation = toGltf(pose.base[i]);
    }
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
        const SceneItem &goal =
            scene.items[size_t(scene.items[i].goal >= 0 && size_t(scene.items[i].goal) < n ? scene.items[i].goal : i)];
        const int goalNode = nullNode[size_t(&goal - scene.items.data())];
        if (goalNode >= 0) {
            node.extras.push_back({"goal", doc.nodes[size_t(goalNode)].name});
            Node &null = doc.nodes[size_t(goalNode)];
            if (null.extras.empty())
                null.extras.push_back({"goalFor", node.name});
        }
    }
    for (size_t i = 0; i < n; ++i) {
        if (nullNode[i] < 0)
            continue;
        doc.nodes[size_t(nullNode[i])].translation = toGltf(pose.base[i]);
        doc.nodes[size_t(rig.root)].children.push_back(nullNode[i]);
    }
    for (size_t i = 0; i < n; ++i) {
        if (rig.boneNode[i] < 0 || continued[i])
            continue;
        Node end = namedNode(claimName(rig.names, doc.nodes[size_t(rig.boneNode[i])].name + "_end", boneNumber[i]));
        const Vec3 along{0, std::abs(pose.length[i]), 0};
        end.translation = along;
        const Vec3 reach = frames::times(global[i].rotation, along);
        ends.push_back(Pose{global[i].rotation,
                            {global[i].translation[0] + reach[0], global[i].translation[1] + reach[1],
                             global[i].translation[2] + reach[2]}});
        endOf.push_back(int(doc.nodes.size()));
        doc.nodes[size_t(rig.boneNode[i])].children.push_back(int(doc.nodes.size()));
        doc.nodes.push_back(std::move(end));
    }
    if (bones == 0)
        return rig;

    // The skin: every bone node in file order, then every end node, each
    // with the inverse of its global pose at rest.
    Skin skin;
    std::vector<float> matrices;
    matrices.reserve(16 * (size_t(bones) + ends.size()));
    for (size_t i = 0; i < n; ++i) {
        if (rig.boneNode[i] < 0)
            continue;
        rig.boneJoint[i] = int(skin.joints.size());
        skin.joints.push_back(rig.boneNode[i]);
        matrices.resize(matrices.size() + 16);
        inverseMatrix(global[i], matrices.data() + matrices.size() - 16);
    }
    for (size_t k = 0; k < ends.size(); ++k) {
        skin.joints.push_back(endOf[k]);
        matrices.resize(matrices.size() + 16);
        inverseMatrix(ends[k], matrices.data() + matrices.size() - 16);
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
    return rig;
}

} // namespace standin::gltf
