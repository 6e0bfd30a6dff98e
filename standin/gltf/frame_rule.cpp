// The one decision of a model's glTF frame.
#include "standin/gltf/frame_rule.h"

namespace standin::gltf {

FrameRule frameRuleOf(const std::string &format) { return format == "OBJ" ? FrameRule::Unchanged : FrameRule::MirrorZ; }

} // namespace standin::gltf
