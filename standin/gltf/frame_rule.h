// How a model's numbers become glTF's right-handed ones, decided in one
// place for the rig, the mesh and the command.
#pragma once

#include <string>

#include "standin/scene_reader/scene_reader.h"

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

// The frame of the object a scene loads first, by the format its file's
// extension names: ".obj" (any case) is OBJ; MirrorZ for a null object or
// none.  For `spindle show`, which has the scene and not the model.
FrameRule sceneFrameRule(const Scene &scene);

// Model point `p` in glTF's frame under `rule`.
inline Vec3 inGltfFrame(const Vec3 &p, FrameRule rule) {
    return Vec3{p[0], p[1], rule == FrameRule::MirrorZ ? -p[2] : p[2]};
}

} // namespace standin::gltf
