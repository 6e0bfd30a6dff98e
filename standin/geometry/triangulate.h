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
    std::vector<float> u, v;          // the corners projected onto the face's plane
    std::vector<uint32_t> prev, next; // the corners not yet cut off, as a ring
    // A large face's search tree over its corners that are not convex (see
    // triangulate): those corners in the tree's order with their places,
    // each corner's index in that order (UINT32_MAX: not there), and the
    // tree's nodes.
    struct Corner {
        float u, v;
        uint32_t number; // UINT32_MAX once cut off
    };
    struct Node {
        float lowU, lowV, highU, highV; // the box around its corners
        float split;                    // where its children part, along v or u
        uint32_t left;                  // its corners not yet cut off
        bool alongV;
    };
    std::vector<Corner> corners;
    std::vector<uint32_t> place;
    std::vector<Node> nodes;
    // The corners waiting to be tested as ears, first in first out: a list
    // from waitFirst to waitLast through waitPrev and waitNext.
    std::vector<uint32_t> waitPrev, waitNext;
    uint32_t waitFirst = 0, waitLast = 0;
};

// Cuts face `face` of `count` >= 3 corners (indices into `points`, three
// floats per point) into count - 2 triangles, written to `out` as 3 * (count
// - 2) point indices, each triangle turning the way the face turns.
//
// A triangle is itself; a convex quad is split along its shorter diagonal
// (the 0-2 one on a tie) and a concave one along the diagonal from its
// reflex corner.  A larger face is cut by ear clipping in the plane of its
// Newell normal: an ear is a convex corner whose triangle holds no other
// corner (none inside, none on its sides); where none is left, a corner in
// line with its neighbours (a duplicate point or a straight run) is cut off
// as a flat triangle, and where neither is left (a face that crosses
// itself) the rest is cut as a fan.  A face with no normal at all (every
// point in one line) is a fan.
//
// A face of at most kSmallFace corners goes round its ring from its first
// corner, cutting each ear it meets, and tests each candidate against every
// corner left; after 8 count^2 such tests the rest is cut as a fan.
//
// A larger face is cut in near-linear time.  The corners to test come from
// a queue, first in first out: at first every corner in order, then the
// two neighbours of each ear cut, so that the face is cut round after round
// into small triangles.  Each is tested only against the corners that were
// not convex at the start (in a face that does not cross itself, a
// triangle that holds any corner holds one of those), found in a k-d tree
// by the boxes the triangle reaches.  After kStepsPerCorner * count *
// (floor(log2 count) + 1) steps (each a corner taken from the queue, a node
// of the tree or a corner looked at), the rest is cut as a fan, so that no
// face takes long whatever its shape.
constexpr size_t kSmallFace = 256;
constexpr uint64_t kStepsPerCorner = 8;

void triangulate(const float *points, const uint32_t *face, size_t count, uint32_t *out, TriangulationScratch &scratch);

} // namespace standin::geometry
