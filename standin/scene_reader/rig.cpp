// A read scene's bones and nulls placed in model space: the inverse of the
// module's conversion of every bone into its parent's frame.
//
// The module turns a model-space vector into a bone's frame by the rest
// rotations of all its ancestors, root first, then its own: M(h, p) with
// heading h = atan2(x, z) and pitch p = -asin(y) of the direction, which
// takes that direction onto +z.  Going back, a frame's model-from-local
// rotation is its parent's times R(h, p, b) = M(h, p)^T Rz(b): the bank b
// turns about the bone's own z axis after heading and pitch (Spindle always
// writes b = 0; the sign is the right-hand one about +z).
#include "standin/scene_reader/rig.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace standin {
namespace {

using Matrix = std::array<Vec3, 3>; // rows

constexpr double kRadiansPerDegree = 3.141592653589793 / 180.0;
constexpr Matrix kIdentity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

Vec3 times(const Matrix &m, const Vec3 &v) {
    Vec3 r;
    for (size_t i = 0; i < 3; ++i)
        r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
    return r;
}

Matrix times(const Matrix &a, const Matrix &b) {
    Matrix r;
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j)
            r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    return r;
}

Vec3 plus(const Vec3 &a, const Vec3 &b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }

// M(h, p)^T, radians: the model-from-local rotation of a frame turned by
// heading, then pitch.  Its third column is the direction (h, p).
Matrix headingPitch(double h, double p) {
    const double sh = std::sin(h), ch = std::cos(h), sp = std::sin(p), cp = std::cos(p);
    return Matrix{{{ch, sh * sp, sh * cp}, {0, cp, -sp}, {-sh, ch * sp, ch * cp}}};
}

// R(h, p, b) from a rest direction in degrees.
Matrix restRotation(const Vec3 &degrees) {
    const double b = degrees[2] * kRadiansPerDegree;
    const double sb = std::sin(b), cb = std::cos(b);
    const Matrix bank{{{cb, -sb, 0}, {sb, cb, 0}, {0, 0, 1}}};
    return times(headingPitch(degrees[0] * kRadiansPerDegree, degrees[1] * kRadiansPerDegree), bank);
}

// The model-space frame of a bone as the module takes it for a goal null:
// heading and pitch of the bone's direction (its frame's z axis), no bank.
Matrix modelFrame(const Matrix &frame) {
    const double x = frame[0][2], y = std::clamp(frame[1][2], -1.0, 1.0), z = frame[2][2];
    return headingPitch(std::atan2(x, z), -std::asin(y));
}

} // namespace

RigPlacement placeRig(const Scene &scene) {
    const size_t n = scene.items.size();
    RigPlacement placed;
    placed.base.assign(n, Vec3{});
    placed.tip.assign(n, Vec3{});
    std::vector<Matrix> frame(n, kIdentity);
    std::vector<bool> carriesBones(n, false);
    for (const SceneItem &item : scene.items)
        if (item.kind == ItemKind::Bone && item.object >= 0 && size_t(item.object) < n)
            carriesBones[size_t(item.object)] = true;

    const auto parentOf = [&](size_t i) {
        const int p = scene.items[i].parent;
        return p >= 0 && size_t(p) < n && size_t(p) != i ? p : -1;
    };
    const auto place = [&](size_t i, int parent) {
        const SceneItem &item = scene.items[i];
        const bool underBone = parent >= 0 && scene.items[size_t(parent)].kind == ItemKind::Bone;
        if (item.kind == ItemKind::Bone) {
            // A root's rest values are model-space; a child's rest position
            // lies in its parent's frame, from the parent's base.
            const Matrix &parentFrame = underBone ? frame[size_t(parent)] : kIdentity;
            const Vec3 from = underBone ? placed.base[size_t(parent)] : Vec3{};
            frame[i] = times(parentFrame, restRotation(item.restDirection));
            placed.base[i] = plus(from, times(parentFrame, item.restPosition));
            placed.tip[i] = plus(placed.base[i], times(frame[i], Vec3{0, 0, item.restLength}));
            return;
        }
        const Vec3 key = item.positions.empty() ? Vec3{} : item.positions[0];
        if (underBone)
            // As Spindle writes a goal null under a bone: its offset from
            // the bone's base, turned into the bone's model-space frame.
            placed.base[i] = plus(placed.base[size_t(parent)], times(modelFrame(frame[size_t(parent)]), key));
        else if (parent >= 0 && !carriesBones[size_t(parent)])
            // Under another null or object: translation only, its position
            // added to the parent's.
            placed.base[i] = plus(placed.base[size_t(parent)], key);
        else
            // At the root, or under the object whose bones define model
            // space: the position as written.
            placed.base[i] = key;
        placed.tip[i] = placed.base[i];
    };

    // Parents first, without recursion: each item's chain of unplaced
    // ancestors is walked up, then placed from the top down.  0: not
    // placed, 1: on the current walk, 2: placed.  A parent met again on the
    // walk (a loop, which the reader refuses) is taken as no parent.
    std::vector<uint8_t> state(n, 0);
    std::vector<size_t> chain;
    for (size_t i = 0; i < n; ++i) {
        chain.clear();
        for (int p = int(i); p >= 0 && state[size_t(p)] == 0; p = parentOf(size_t(p))) {
            state[size_t(p)] = 1;
            chain.push_back(size_t(p));
        }
        for (size_t k = chain.size(); k-- > 0;) {
            const int parent = parentOf(chain[k]);
            place(chain[k], parent >= 0 && state[size_t(parent)] == 2 ? parent : -1);
            state[chain[k]] = 2;
        }
    }
    return placed;
}

} // namespace standin
