// Reading a scene for its rig even when it holds numbers that are not
// finite: the module writes "inf" and "nan" for a model whose numbers
// overflow, and the scene reader refuses them.
#pragma once

#include <string>

#include "standin/scene_reader/scene_reader.h"

namespace standin::gltf {

// Reads the scene as readScene does.  When that fails, reads it once more
// with every number that is not finite (or out of a double's range) in a
// bone's rest values or a motion key taken as 1e300, its sign kept, which
// the rig takes as not finite (see rig_pose.h).  False with readScene's
// reason when the scene cannot be read either way.
bool readSceneForRig(const std::string &path, Scene &scene, std::string &reason);

// The substitution alone, on a scene's text.
std::string finiteSceneText(const std::string &text);

} // namespace standin::gltf
