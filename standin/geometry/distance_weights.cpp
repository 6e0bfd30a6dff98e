// Skin weights: the vertices taken in blocks of neighbours, each block
// searched against the few bones that can be among its vertices' nearest.
#include "standin/geometry/distance_weights.h"

#include "standin/geometry/nearest_search.h"

#include <algorithm>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <limits>

namespace standin::geometry {
namespace {

// The weights of one vertex's nearest bones into slots 4 * v ...
void putWeights(const SegmentTree &tree, const Nearest &n, double eps2, size_t v, SkinWeights &out) {
    // Bone i weighs 1 / max(d_i, eps)^4: here relative to the nearest, whose
    // weight is 1, so that nothing overflows however small eps is.
    SkinSlot slots[4];
    const double nearest = std::max(n.distance2[0], eps2);
    for (uint32_t i = 0; i < n.count; ++i) {
        const double ratio = nearest / std::max(n.distance2[i], eps2);
        slots[i] = {tree.joints[n.bone[i]], ratio * ratio};
    }
    putSkinSlots(slots, n.count, v, out);
}

} // namespace

double boxDiagonal(const float *positions, size_t count) {
    if (count == 0)
        return 0;
    double lo[3], hi[3];
    for (int a = 0; a < 3; ++a)
        lo[a] = hi[a] = positions[a];
    for (size_t i = 1; i < count; ++i)
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], double(positions[3 * i + size_t(a)]));
            hi[a] = std::max(hi[a], double(positions[3 * i + size_t(a)]));
        }
    const double x = hi[0] - lo[0], y = hi[1] - lo[1], z = hi[2] - lo[2];
    return std::sqrt(x * x + y * y + z * z);
}

SkinWeights emptyWeights(const SegmentTree &tree, size_t count) {
    assert(!tree.segments.empty());
    SkinWeights out;
    const bool narrow = *std::max_element(tree.joints.begin(), tree.joints.end()) < 256;
    (narrow ? out.joints8.resize(4 * count) : out.joints16.resize(4 * count));
    out.weights.resize(4 * count);
    return out;
}

SkinWeights skinWeights(const SegmentTree &tree, const float *positions, size_t count, double modelSize) {
    SkinWeights out = emptyWeights(tree, count);
    skinWeightsOf(tree, positions, 0, count, modelSize, out);
    return out;
}

void skinWeightsOf(const SegmentTree &tree, const float *positions, size_t first, size_t count, double modelSize,
                   SkinWeights &out) {
    assert(!tree.segments.empty() && first <= count && 4 * count <= out.weights.size());
    const double eps = std::max(1e-4 * modelSize, DBL_MIN);
    const double eps2 = std::max(eps * eps, DBL_MIN);
    forEachNearest(tree, positions, first, count,
                   [&](size_t v, const Nearest &n) { putWeights(tree, n, eps2, v, out); });
}

} // namespace standin::geometry
