// A model's faces as triangle lists for glTF: one primitive per surface,
// each with its own vertices, in glTF's frame and winding.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "standin/gltf/frame_rule.h"
#include "standin/mesh/mesh.h"

namespace standin::gltf {

// The triangles of one surface.
struct MeshPrimitive {
    uint32_t surface = 0;         // index into Mesh::surfaces
    std::vector<float> positions; // three per vertex, in glTF's frame
    std::vector<uint16_t>
        indices16; // three per triangle when there are at most 65535 vertices (then indices32 is empty)
    std::vector<uint32_t> indices32; // otherwise (then indices16 is empty)
    std::vector<uint32_t> points;    // by vertex: its point among the layers' points, layer after layer (when asked)
    std::array<float, 3> lo{}, hi{}; // the box around the positions

    size_t vertexCount() const { return positions.size() / 3; }
    size_t indexCount() const { return indices16.empty() ? indices32.size() : indices16.size(); }
};

// The faces (polygons of type FACE with three or more points) of the layers
// `layers` (indices into mesh.layers, each once) as primitives, one per
// surface that has any, in the order of the surfaces.  Each face is cut
// into triangles (see triangulate), in `frame`; a triangle that names one
// point twice is left out.  Points, lines, curves and polygons of other
// types are left out, and so is a face that names a point its layer does
// not have.  A face that uses a point a 32-bit float cannot hold (one not
// finite once rounded to a float: beyond about 3.4e38, or not a number) is
// left out too, and counted in `notFinite` when given.  A vertex is one
// point of the model within one primitive, numbered in the order the
// triangles first use it; with `keepPoints`, each primitive's `points` says
// which point each vertex is.
std::vector<MeshPrimitive> meshPrimitives(const Mesh &mesh, const std::vector<size_t> &layers, FrameRule frame,
                                          bool keepPoints = false, size_t *notFinite = nullptr);

// The model's size for its skin weights: the diagonal of the box around
// every primitive's positions; 0 for none.
double modelSize(const std::vector<MeshPrimitive> &primitives);

} // namespace standin::gltf
