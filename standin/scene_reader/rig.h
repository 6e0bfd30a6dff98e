// The rig of a scene placed in model space: where each bone's base and tip
// and each null sit, from the rest values the scene file holds.
#pragma once

#include "standin/scene_reader/scene_reader.h"

#include <vector>

namespace standin {

// Where the items of a scene sit in model space.
struct RigPlacement {
    std::vector<Vec3> base; // per item: a bone's base, any other item's position at its first key
    std::vector<Vec3> tip;  // per item: a bone's tip (base + rest length along the bone); others: base
};

// Places every bone and null of `scene` in model space: each bone's frame
// is composed from the root down out of the rest directions (heading, then
// pitch, then bank), its base is its parent's base plus its rest position
// turned by the parent's frame, and its tip lies rest length along its own
// frame's z axis.  A null under a bone is placed in that bone's model-space
// frame (its heading and pitch in model space), as Spindle writes it.
RigPlacement placeRig(const Scene &scene);

} // namespace standin
