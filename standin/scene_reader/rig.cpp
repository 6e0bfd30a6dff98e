// A read scene's bones and nulls placed in model space: the inverse of the
// module's conversion of every bone into its parent's frame (the rotations
// are in rest_frames.h).
#include "standin/scene_reader/rig.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace standin {

namespace {

using namespace frames;

// Per item of `scene`: whether bones belong to it (the object whose bones
// define model space).
std::vector<bool> objectsCarryingBones(const Scene &scene) {
    const size_t n = scene.items.size();
    std::vector<bool> carries(n, false);
    for (const SceneItem &item : scene.items)
        if (item.kind == ItemKind::Bone && item.object >= 0 && size_t(item.object) < n)
            carries[size_t(item.object)] = true;
    return carries;
}

// The parent of item `i`, or -1 when it has none (or names no other item).
int parentIndex(const Scene &scene, size_t i) {
    const int p = scene.items[i].parent;
    return p >= 0 && size_t(p) < scene.items.size() && size_t(p) != i ? p : -1;
}

// Calls place(i, parent) for each item of `scene`, every parent before its
// children, without recursion: each item's chain of unplaced ancestors is
// walked up, then placed from the top down.  A parent met again on the
// walk (a loop, which the reader refuses) is handed over as -1.
template <typename Place>
void placeParentsFirst(const Scene &scene, Place place) {
    const size_t count = scene.items.size();
    const auto parentOf = [&](size_t i) { return parentIndex(scene, i); };
    std::vector<uint8_t> state(count, 0); // 0: not placed, 1: on the current walk, 2: placed
    std::vector<size_t> chain;
    for (size_t i = 0; i < count; ++i) {
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
}

// Finite, and small enough that the glTF's single-precision matrices made
// from it stay finite.
bool finite(double v) { return std::isfinite(v) && std::abs(v) <= 1e37; }

bool finite(const Vec3 &v) { return finite(v[0]) && finite(v[1]) && finite(v[2]); }

bool finite(const Rotation &m) { return finite(m[0]) && finite(m[1]) && finite(m[2]); }

// Places bone `i` under `parent` (-1: none or not placed).
void placeBone(const Scene &scene, size_t i, int parent, NotFinite notFinite, RigPlacement &placed) {
    const SceneItem &item = scene.items[i];
    const bool underBone = parent >= 0 && scene.items[size_t(parent)].kind == ItemKind::Bone;
    // A root's rest values are model-space; a child's rest position lies
    // in its parent's frame, from the parent's base.
    const Rotation &parentFrame = underBone ? placed.frame[size_t(parent)] : kIdentity;
    const Vec3 from = underBone ? placed.base[size_t(parent)] : Vec3{};
    const Rotation frame = times(parentFrame, restRotation(item.restDirection));
    const Vec3 base = plus(from, times(parentFrame, item.restPosition));
    const Vec3 tip = plus(base, times(frame, Vec3{0, 0, item.restLength}));
    const bool isFinite = finite(item.restPosition) && finite(item.restDirection) && finite(item.restLength) &&
        finite(frame) && finite(base) && finite(tip);
    if (!isFinite)
        placed.notFinite.push_back(int(i));
    if (isFinite || notFinite == NotFinite::Kept) {
        placed.frame[i] = frame;
        placed.base[i] = base;
        placed.tip[i] = tip;
        placed.length[i] = item.restLength;
    } else {
        placed.frame[i] = parentFrame;
        placed.base[i] = placed.tip[i] = underBone ? placed.tip[size_t(parent)] : Vec3{};
    }
}

// Places null or other item `i` under `parent` (-1: none or not placed).
void placeItem(const Scene &scene, const std::vector<bool> &carriesBones, size_t i, int parent, NotFinite notFinite,
               RigPlacement &placed) {
    const SceneItem &item = scene.items[i];
    const Vec3 key = item.positions.empty() ? Vec3{} : item.positions[0];
    Vec3 place = key;
    if (parent >= 0 && scene.items[size_t(parent)].kind == ItemKind::Bone)
        // As Spindle writes a goal null under a bone: its offset from the
        // bone's base, turned into the bone's model-space frame.
        place = plus(placed.base[size_t(parent)], times(modelFrame(placed.frame[size_t(parent)]), key));
    else if (parent >= 0 && !carriesBones[size_t(parent)])
        // Under another null or object: translation only, its position
        // added to the parent's.
        place = plus(placed.base[size_t(parent)], key);
    // Otherwise, at the root or under the object whose bones define model
    // space: the position as written.
    placed.base[i] = placed.tip[i] = finite(place) || notFinite == NotFinite::Kept ? place : Vec3{};
}

} // namespace

RigPlacement placeRig(const Scene &scene, NotFinite notFinite) {
    const size_t n = scene.items.size();
    RigPlacement placed;
    placed.frame.assign(n, kIdentity);
    placed.base.assign(n, Vec3{});
    placed.tip.assign(n, Vec3{});
    placed.length.assign(n, 0.0);
    placed.parent.assign(n, -1);
    const std::vector<bool> carriesBones = objectsCarryingBones(scene);
    const auto place = [&](size_t i, int parent) {
        placed.parent[i] = parent;
        if (scene.items[i].kind == ItemKind::Bone)
            placeBone(scene, i, parent, notFinite, placed);
        else
            placeItem(scene, carriesBones, i, parent, notFinite, placed);
    };
    placeParentsFirst(scene, place);
    std::sort(placed.notFinite.begin(), placed.notFinite.end());
    return placed;
}

} // namespace standin
