// What every reader answer must hold, checked after each load by the reader
// sweeps, the corpus tests and the fuzz targets alike: a model whose every
// index is in range, or a one-line reason that names where the file went
// wrong and an empty mesh.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "standin/mesh/mesh.h"

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

// Every polygon of layer `layer` (an index into mesh.layers), decoded.
inline std::vector<standin::PolygonData> polygonsOf(const standin::Mesh &mesh, size_t layer) {
    return mesh.polygons(layer);
}

// What is wrong with a reader's answer (`read`, the mesh, the reason), or
// the empty text when nothing is.  Polygons may have no points at all; a
// polygon's points must lie in its own layer and its surface must be one of
// the mesh's; the layers' points follow one another; a loaded model has at
// least one layer.
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
    size_t points = 0;
    for (size_t l = 0; l < mesh.layers.size(); ++l) {
        const standin::MeshLayer &layer = mesh.layers[l];
        if (layer.firstPoint != points)
            return "layer " + std::to_string(layer.number) + " does not follow the points of the layer before";
        points += layer.pointCount;
        for (size_t r = 0; r < layer.runs.size(); ++r)
            if (layer.runs[r].first != (r == 0 ? 0 : layer.runs[r - 1].first + layer.runs[r - 1].count))
                return "layer " + std::to_string(layer.number) + " has polygons outside its runs";
        const std::vector<standin::PolygonData> polygons = mesh.polygons(l);
        // Fewer only where another program overwrote a mapped file's bytes.
        if (polygons.size() > layer.polygonCount())
            return "layer " + std::to_string(layer.number) + " decodes to " + std::to_string(polygons.size()) +
                " polygons, more than its " + std::to_string(layer.polygonCount());
        for (size_t p = 0; p < polygons.size(); ++p) {
            const standin::PolygonData &polygon = polygons[p];
            const std::string where = "layer " + std::to_string(layer.number) + " polygon " + std::to_string(p);
            if (polygon.surface >= mesh.surfaces.size())
                return "surface index out of range: " + where + " surface " + std::to_string(polygon.surface);
            for (uint32_t index : polygon.points)
                if (index >= layer.pointCount)
                    return "point index out of range: " + where + " point " + std::to_string(index) + " of " +
                        std::to_string(layer.pointCount);
        }
    }
    if (points != mesh.pointCount())
        return "the layers hold " + std::to_string(points) + " points, the mesh " + std::to_string(mesh.pointCount());
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
