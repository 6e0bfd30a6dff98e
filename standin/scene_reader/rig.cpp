// A read scene's bones and nulls placed in model space: the inverse of the
// module's conversion of every bone into its parent's frame (the rotations
// are in rest_frames.h).
#include "standin/scene_reader/rig.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "standin/scene_reader/rest_frames.h"

namespace standin {

using namespace rest;

RigPlacement placeRig(const Scene &scene) {
    const size_t n = scene.items.size();
    RigPlacement placed;
    placed.base.assign(n, Vec3{});
    placed.tip.assign(n, Vec3{});
    std::vector<Matrix> frame(n, kIdentity);
    const std::vector<bool> carriesBones = objectsCarryingBones(scene);

    const auto parentOf = [&](size_t i) { return parentIndex(scene, i); };
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

    placeParentsFirst(n, parentOf, place);
    return placed;
}

} // namespace standin
