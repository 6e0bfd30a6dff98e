// The one decision of a model's glTF frame.
#include "standin/gltf/frame_rule.h"

#include <cctype>

namespace standin::gltf {

FrameRule frameRuleOf(const std::string &format) { return format == "OBJ" ? FrameRule::Unchanged : FrameRule::MirrorZ; }

FrameRule sceneFrameRule(const Scene &scene) {
    const int first = firstObject(scene);
    const SceneItem *object = first >= 0 ? &scene.items[size_t(first)] : nullptr;
    if (!object || object->kind != ItemKind::Object || object->name.size() < 4)
        return frameRuleOf("");
    std::string extension = object->name.substr(object->name.size() - 4);
    for (char &c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return frameRuleOf(extension == ".obj" ? "OBJ" : "");
}

} // namespace standin::gltf
