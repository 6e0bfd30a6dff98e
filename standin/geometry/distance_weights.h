// Skin weights by distance: each vertex bound to its four nearest bones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "standin/geometry/segment_tree.h"
#include "standin/geometry/skin_slots.h"

namespace standin::geometry {

// The diagonal of the box around `count` points (three floats each); 0 for
// none.
double boxDiagonal(const float *positions, size_t count);

// Binds `count` vertices (three floats each) to the bones of `tree`, which
// must hold at least one.  Each vertex takes its four nearest bones (see
// Nearest), bone i weighted 1 / max(d_i, eps)^4, d_i its distance, eps =
// 1e-4 * `modelSize` (the diagonal of the model's box, boxDiagonal), then
// scaled to sum to 1.  The vertices are taken in blocks of neighbours in
// their order, so a mesh whose vertices come in the order of its faces is
// bound fastest; the result does not depend on the order.
SkinWeights skinWeights(const SegmentTree &tree, const float *positions, size_t count, double modelSize);

// The weights sized for `count` vertices, every slot 0 (see skinWeights).
SkinWeights emptyWeights(const SegmentTree &tree, size_t count);

// The same as skinWeights for the vertices from `first` to `end` only, into
// `out` (from emptyWeights for all of them): two threads may fill two
// ranges at once.
void skinWeightsOf(const SegmentTree &tree, const float *positions, size_t first, size_t end, double modelSize,
                   SkinWeights &out);

} // namespace standin::geometry
