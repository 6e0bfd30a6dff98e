// The one decision of a model's glTF frame.
#include "standin/gltf/frame_rule.h"

#include "standin/text/extension.h"

namespace standin::gltf {

FrameRule frameRuleOf(const std::string &format) { return format == "OBJ" ? FrameRule::Unchanged : FrameRule::MirrorZ; }

FrameRule sceneFrameRule(const Scene &scene) {
    const int first = firstObject(scene);
    const SceneItem *object = first >= 0 ? &scene.items[size_t(first)] : nullptr;
    const bool obj = object && object->kind == ItemKind::Object && endsInExtension(object->name, ".obj");
    return frameRuleOf(obj ? "OBJ" : "");
}

} // namespace standin::gltf
