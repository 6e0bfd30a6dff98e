// The command's glTF output: the rig of a scene written to a file, with
// what went wrong told on standard error.
#pragma once

#include <string>

#include "standin/gltf/rig_document.h"

namespace standin::gltf {

// Writes the rig of `scene` as glTF to `path` (.glb or .gltf).  Bones whose
// numbers are not finite are named in one line "spindle: note: ...".  A
// failure to write is one line "spindle: PATH: cannot be written (WHY)";
// returns false then.
bool exportRig(const Scene &scene, FrameRule rule, const std::string &path);

} // namespace standin::gltf
