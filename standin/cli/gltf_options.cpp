// The checks of the command line's glTF options.
#include "standin/cli/gltf_options.h"

#include "standin/gltf/gltf_file.h"
#include "standin/text/extension.h"

namespace standin {

bool takeGltfPath(const std::string &value, std::string &path, std::string &reason) {
    if (gltf::fileKindOf(value) == gltf::FileKind::None) {
        reason = "option --gltf takes a file ending in .glb or .gltf ('" + value + "')";
        return false;
    }
    path = value;
    return true;
}

bool takePagePath(const std::string &value, std::string &path, std::string &reason) {
    if (!endsInExtension(value, ".html") && !endsInExtension(value, ".htm")) {
        reason = "the page (--view, or -o of spindle view) takes a file ending in .html or .htm ('" + value + "')";
        return false;
    }
    path = value;
    return true;
}

bool takeWeights(const std::string &value, gltf::Weights &weights, std::string &reason) {
    if (value == "surface" || value == "distance") {
        weights = value == "surface" ? gltf::Weights::Surface : gltf::Weights::Distance;
        return true;
    }
    reason = "option --weights takes surface or distance ('" + value + "')";
    return false;
}

} // namespace standin
