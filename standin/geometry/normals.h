// Per-vertex normals of a triangle mesh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace standin::geometry {

// The normal of each of `vertexCount` vertices (three floats per vertex in
// `positions`), from `indexCount` indices (a multiple of three) of the
// triangles in `indices`, written to `normals` (resized to three floats per
// vertex).
//
// A vertex's normal is the sum of the normals of the triangles around it,
// each weighted by the triangle's area (the cross product of two of its
// sides, which has that length), scaled to unit length: a face's front is
// the side from which its corners run counter-clockwise.  A vertex that no
// triangle of any area touches, or whose sum cancels out, gets (0, 1, 0),
// so that every normal is a unit vector.  The sums are made in float, or
// in double for positions so far apart (beyond about 1e19) that a float
// cannot hold them: any finite positions give finite normals.
template <typename Index>
void vertexNormals(const float *positions, size_t vertexCount, const Index *indices, size_t indexCount,
                   std::vector<float> &normals);

extern template void vertexNormals<uint16_t>(const float *, size_t, const uint16_t *, size_t, std::vector<float> &);
extern template void vertexNormals<uint32_t>(const float *, size_t, const uint32_t *, size_t, std::vector<float> &);

} // namespace standin::geometry
