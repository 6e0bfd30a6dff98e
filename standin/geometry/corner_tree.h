// The search tree of a large face's corners that were not convex at the
// start (a k-d tree, implicit in TriangulationScratch::nodes), which the
// ear test of a large face looks into.
#pragma once

#include <cstddef>
#include <cstdint>

#include "standin/geometry/face_corners.h"

namespace standin::geometry::faces {

// No corner: `next` of a corner cut off, `place` of a corner not in the
// tree, `number` of a corner of the tree cut off.
constexpr uint32_t kNone = UINT32_MAX;

// The way down the tree to the last search's first node: each node on it
// with its corners and its cell, the part of the plane where every corner
// lies that is below it and no corner that is not (its ancestors' splits,
// open; infinite at the root).
struct TreePath {
    struct Step {
        size_t k;
        uint32_t low, high;
        double lowU, lowV, highU, highV;
    };
    Step at[64]; // the tree is at most 30 deep
    size_t depth = 0;
};

// Builds the tree over the corners of the face ringed in s.prev and s.next
// (`n` of them) that are not convex.
void buildTree(TriangulationScratch &s, uint32_t n);

// Takes a corner cut off out of the tree, if it is there.
void takeOutOfTree(TriangulationScratch &s, uint32_t corner);

// Whether corner b, between a and c, is an ear (see isEar in
// triangulate.cpp), looking only into the nodes of the tree whose boxes the
// triangle can reach, from `path`, the last search's way down; each node
// and each corner looked at adds a step to `steps`.
bool isEarInTree(const TriangulationScratch &s, uint32_t a, uint32_t b, uint32_t c, TreePath &path, uint64_t &steps);

} // namespace standin::geometry::faces
