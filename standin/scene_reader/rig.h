// The rig of a scene placed in model space: where each bone's base and tip
// and each null sit, with each bone's frame, from the rest values the
// scene file holds.
#pragma once

#include <vector>

#include "standin/scene_reader/rest_frames.h"
#include "standin/scene_reader/scene_reader.h"

namespace standin {

// What the placement does with a bone whose numbers are not finite.
enum class NotFinite {
    Kept,     // placed from them all the same (the summary and the picture)
    PutRight, // placed at its parent bone's tip with length 0 (the glTF export)
};

// Where the items of a scene sit in model space.
struct RigPlacement {
    std::vector<frames::Rotation> frame; // per item: a bone's model-from-local rotation (others: the identity)
    std::vector<Vec3> base;     // per item: a bone's base, a null's place, any other item's position at its first key
    std::vector<Vec3> tip;      // per item: a bone's tip (base + rest length along the bone); others: base
    std::vector<double> length; // per item: a bone's rest length as placed (0 for a bone put right); others 0
    std::vector<int> parent;    // per item: its parent's index, or -1 (none, or one on a loop)
    std::vector<int> notFinite; // the bones whose numbers were not finite, in file order
};

// Places every bone and null of `scene` in model space: each bone's frame
// is composed from the root down out of the rest directions (heading, then
// pitch, then bank), its base is its parent's base plus its rest position
// turned by the parent's frame, and its tip lies rest length along its own
// frame's z axis.  A null under a bone is placed in that bone's model-space
// frame (its heading and pitch in model space), as Spindle writes it.
//
// A bone whose rest numbers, or whose place made from them and from its
// parent's, are not finite (or beyond 1e37, so that single precision holds
// every number) is listed in `notFinite`.  With NotFinite::PutRight it is placed at its parent
// bone's tip (a bone under an object: at the origin) in its parent's frame
// with length 0, and a null placed from such numbers sits at the origin;
// with NotFinite::Kept every number stays as composed.
RigPlacement placeRig(const Scene &scene, NotFinite notFinite = NotFinite::Kept);

} // namespace standin
