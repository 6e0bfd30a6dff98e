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
