// Faces cut into triangles for a triangle mesh: any face of three or more
// points, concave ones included, each triangle in the face's own winding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace standin::geometry {

// What a triangulation of a large face works in, kept between faces so that
// they allocate nothing once it has grown to the largest face.
struct TriangulationScratch {
    std::vector<double> u, v;         // the corners projected onto the face's plane
    std::vector<uint32_t> prev, next; // the corners not yet cut off, as a ring
};

// Cuts face `face` of `count` >= 3 corners (indices into `points`, three
// floats per point) into count - 2 triangles, written to `out` as 3 * (count
// - 2) point indices, each triangle turning the way the face turns.
//
// A triangle is itself; a convex quad is split along its shorter diagonal
// (the 0-2 one on a tie) and a concave one along the diagonal from its
// reflex corner.  A larger face is cut by ear clipping in the plane of its
// Newell normal: an ear is a convex corner whose triangle holds no other
// corner; where none is left, a corner in line with its neighbours (a
// duplicate point or a straight run) is cut off as a flat triangle, and
// where neither is left (a face that crosses itself), or the clipping has
// taken more than 8 count^2 tests, the rest is cut as a fan.  A face with no normal at all (every point in one line) is a fan.
void triangulate(const float *points, const uint32_t *face, size_t count, uint32_t *out, TriangulationScratch &scratch);

} // namespace standin::geometry
