// A scene's bones and nulls at rest in model space, with full frames, as
// the glTF export needs them: the same composition as placeRig (heading,
// then pitch, then bank; the bone along its frame's z axis), and every
// number finite (and within 1e37, so that single precision holds it).
#pragma once

#include <array>
#include <vector>

#include "standin/scene_reader/scene_reader.h"

namespace standin::gltf {

using Frame = std::array<Vec3, 3>; // rows of the model-from-local rotation; column 2 is the bone's direction

struct RigPose {
    std::vector<Frame> frame;   // per item: a bone's frame (others: the identity)
    std::vector<Vec3> base;     // per item: a bone's base, a null's place, other items' first key
    std::vector<Vec3> tip;      // per item: a bone's tip (others: base)
    std::vector<double> length; // per item: a bone's rest length as placed (0 for a bone put right)
    std::vector<int> parent;    // per item: its parent's index, or -1 (none, or one on a loop)
    std::vector<int> notFinite; // the bones whose numbers were not finite, in file order
};

// Places every item of `scene`.  A bone whose rest numbers, or whose
// place made from them, are not finite (or beyond 1e37) is placed at its
// parent bone's tip (a bone under an object: at the origin) in its
// parent's frame, with length 0, and listed in `notFinite`; a null placed
// from such numbers sits at the origin.
RigPose poseRig(const Scene &scene);

} // namespace standin::gltf
