// What every reader answer must hold, checked by each fuzz target after
// standin::readMeshBytes: a model whose every index is in range, or a
// one-line reason that names where the file went wrong and an empty mesh.
// Any breach aborts, which libFuzzer reports as a finding.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "standin/mesh.h"

namespace fuzzcheck {

[[noreturn]] inline void breach(const char *what, const std::string &detail) {
    std::fprintf(stderr, "mesh check: %s: %s\n", what, detail.c_str());
    std::abort();
}

inline bool startsWithPlace(const std::string &reason) {
    for (const char *word : {"byte ", "line "}) {
        const std::string prefix = word;
        if (reason.compare(0, prefix.size(), prefix) != 0)
            continue;
        size_t at = prefix.size();
        const size_t digits = at;
        while (at < reason.size() && reason[at] >= '0' && reason[at] <= '9')
            ++at;
        return at > digits && reason.compare(at, 2, ": ") == 0 && reason.size() > at + 2;
    }
    return false;
}

// Polygons may have no points at all; a polygon's points must lie in its
// own layer and its surface must be one of the mesh's.
inline void checkMesh(bool read, const standin::Mesh &mesh, const std::string &reason) {
    if (!read) {
        if (!startsWithPlace(reason) || reason.find_first_of("\r\n") != std::string::npos)
            breach("reason is not one line naming a place", reason);
        if (!mesh.layers.empty() || !mesh.surfaces.empty())
            breach("refused file left a model behind", reason);
        return;
    }
    for (const standin::MeshLayer &layer : mesh.layers)
        for (size_t p = 0; p < layer.polygons.size(); ++p) {
            const standin::MeshPolygon &polygon = layer.polygons[p];
            if (polygon.surface >= mesh.surfaces.size())
                breach("surface index out of range", "layer " + std::to_string(layer.number) + " polygon " +
                                                         std::to_string(p) + " surface " + std::to_string(polygon.surface));
            for (uint32_t index : polygon.points)
                if (index >= layer.points.size())
                    breach("point index out of range", "layer " + std::to_string(layer.number) + " polygon " +
                                                           std::to_string(p) + " point " + std::to_string(index) + " of " +
                                                           std::to_string(layer.points.size()));
        }
}

} // namespace fuzzcheck
