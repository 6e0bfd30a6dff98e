// What every reader answer must hold, checked after each load by the reader
// sweeps, the corpus tests and the fuzz targets alike: a model whose every
// index is in range, or a one-line reason that names where the file went
// wrong and an empty mesh.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "standin/mesh.h"

namespace testsupport {

// True when the reason starts "byte N: " or "line N: " and says something.
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

// What is wrong with a reader's answer (`read`, the mesh, the reason), or
// the empty text when nothing is.  Polygons may have no points at all; a
// polygon's points must lie in its own layer and its surface must be one of
// the mesh's; a loaded model has at least one layer.
inline std::string meshFault(bool read, const standin::Mesh &mesh, const std::string &reason) {
    if (!read) {
        if (!startsWithPlace(reason) || reason.find_first_of("\r\n") != std::string::npos)
            return "reason is not one line naming a place: " + reason;
        if (!mesh.layers.empty() || !mesh.surfaces.empty())
            return "refused file left a model behind: " + reason;
        return {};
    }
    if (mesh.layers.empty())
        return "loaded model without a layer";
    for (const standin::MeshLayer &layer : mesh.layers)
        for (size_t p = 0; p < layer.polygons.size(); ++p) {
            const standin::MeshPolygon &polygon = layer.polygons[p];
            const std::string where = "layer " + std::to_string(layer.number) + " polygon " + std::to_string(p);
            if (polygon.surface >= mesh.surfaces.size())
                return "surface index out of range: " + where + " surface " + std::to_string(polygon.surface);
            for (uint32_t index : polygon.points)
                if (index >= layer.points.size())
                    return "point index out of range: " + where + " point " + std::to_string(index) + " of " +
                        std::to_string(layer.points.size());
        }
    return {};
}

// For the fuzz targets: a fault is printed and ends the process, which
// libFuzzer reports as a finding.
inline void requireSoundMesh(bool read, const standin::Mesh &mesh, const std::string &reason) {
    if (const std::string fault = meshFault(read, mesh, reason); !fault.empty()) {
        std::fprintf(stderr, "mesh check: %s\n", fault.c_str());
        std::abort();
    }
}

} // namespace testsupport
