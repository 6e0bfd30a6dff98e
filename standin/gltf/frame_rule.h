// How a model's numbers become glTF's right-handed ones, decided in one
// place for the rig, the mesh and the command.
#pragma once

#include <string>

namespace standin::gltf {

enum class FrameRule {
    MirrorZ,   // the modeler's left-handed frame: (x, y, z) is written (x, y, -z), and
               // each face's order reversed so that its front stays outwards
    Unchanged, // a right-handed model with counter-clockwise fronts (OBJ): the numbers as they are
};

// The frame of a model in `format` as the readers name it (Mesh::format:
// "LWO2", "LWOB", "OBJ"): Unchanged for "OBJ", which is right-handed as
// the tools that write it make it; MirrorZ for every other.
FrameRule frameRuleOf(const std::string &format);

} // namespace standin::gltf
