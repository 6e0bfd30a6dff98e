// A file's extension, as the command tells its output formats apart.
#pragma once

#include <cctype>
#include <cstddef>
#include <string_view>

namespace standin {

// Whether `path` ends in `extension` (lower case, with its dot), in any
// case: "RIG.GLB" ends in ".glb".
inline bool endsInExtension(std::string_view path, std::string_view extension) {
    if (path.size() < extension.size())
        return false;
    const std::string_view tail = path.substr(path.size() - extension.size());
    for (size_t i = 0; i < extension.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(tail[i])) != extension[i])
            return false;
    return true;
}

} // namespace standin
