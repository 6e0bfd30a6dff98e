// Bones and nulls placed in model space with their frames, by the same
// rotations as the scene reader's placement (rest_frames.h).
#include "standin/gltf/rig_pose.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "standin/scene_reader/rest_frames.h"

namespace standin::gltf {

namespace {

using namespace rest;

// Finite, and small enough that the glTF's single-precision matrices made
// from it stay finite.
bool finite(double v) { return std::isfinite(v) && std::abs(v) <= 1e37; }

bool finite(const Vec3 &v) { return finite(v[0]) && finite(v[1]) && finite(v[2]); }

bool finite(const Frame &m) { return finite(m[0]) && finite(m[1]) && finite(m[2]); }

} // namespace

RigPose poseRig(const Scene &scene) {
    const size_t n = scene.items.size();
    RigPose pose;
    pose.frame.assign(n, kIdentity);
    pose.base.assign(n, Vec3{});
    pose.tip.assign(n, Vec3{});
    pose.length.assign(n, 0.0);
    pose.parent.assign(n, -1);
    const std::vector<bool> carriesBones = objectsCarryingBones(scene);
    const auto parentOf = [&](size_t i) { return parentIndex(scene, i); };
    const auto place = [&](size_t i, int parent) {
        pose.parent[i] = parent;
        const SceneItem &item = scene.items[i];
        const bool underBone = parent >= 0 && scene.items[size_t(parent)].kind == ItemKind::Bone;
        if (item.kind == ItemKind::Bone) {
            const Frame &parentFrame = underBone ? pose.frame[size_t(parent)] : kIdentity;
            const Vec3 from = underBone ? pose.base[size_t(parent)] : Vec3{};
            const Frame frame = times(parentFrame, restRotation(item.restDirection));
            const Vec3 base = plus(from, times(parentFrame, item.restPosition));
            const Vec3 tip = plus(base, times(frame, Vec3{0, 0, item.restLength}));
            if (finite(item.restPosition) && finite(item.restDirection) && finite(item.restLength) && finite(frame) &&
                finite(base) && finite(tip)) {
                pose.frame[i] = frame;
                pose.base[i] = base;
                pose.tip[i] = tip;
                pose.length[i] = item.restLength;
            } else {
                pose.frame[i] = parentFrame;
                pose.base[i] = pose.tip[i] = underBone ? pose.tip[size_t(parent)] : Vec3{};
                pose.notFinite.push_back(int(i));
            }
            return;
        }
        const Vec3 key = item.positions.empty() ? Vec3{} : item.positions[0];
        Vec3 place = key;
        if (underBone)
            place = plus(pose.base[size_t(parent)], times(modelFrame(pose.frame[size_t(parent)]), key));
        else if (parent >= 0 && !carriesBones[size_t(parent)])
            place = plus(pose.base[size_t(parent)], key);
        pose.base[i] = pose.tip[i] = finite(place) ? place : Vec3{};
    };
    placeParentsFirst(n, parentOf, place);
    std::sort(pose.notFinite.begin(), pose.notFinite.end());
    return pose;
}

} // namespace standin::gltf
