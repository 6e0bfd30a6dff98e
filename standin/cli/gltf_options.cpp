// The checks of the command line's glTF options.
#include "standin/cli/gltf_options.h"

#include <cctype>

#include "standin/gltf/gltf_file.h"

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
    const auto endsWith = [&](const std::string &tail) {
        if (value.size() < tail.size())
            return false;
        for (size_t i = 0; i < tail.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(value[value.size() - tail.size() + i])) != tail[i])
                return false;
        return true;
    };
    if (!endsWith(".html") && !endsWith(".htm")) {
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
