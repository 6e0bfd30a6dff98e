// Skin weights: the vertices taken in blocks of neighbours, each block
// searched against the few bones that can be among its vertices' nearest.
#include "standin/geometry/distance_weights.h"

#include <algorithm>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <limits>

namespace standin::geometry {
namespace {

// Vertices per block, and the most candidates for which a block's vertices
// are each tested against all of them rather than searched one by one.
constexpr size_t kBlock = 16;
constexpr size_t kMostCandidates = 48;

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

    std::vector<uint32_t> candidates;
    candidates.reserve(tree.segments.size());
    Nearest previous; // the nearest bones of the last block's middle, or of the last vertex
    for (size_t start = first; start < count; start += kBlock) {
        const size_t end = std::min(count, start + kBlock);
        double lo[3], hi[3], mid[3];
        for (int a = 0; a < 3; ++a)
            lo[a] = hi[a] = positions[3 * start + size_t(a)];
        for (size_t v = start + 1; v < end; ++v)
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], double(positions[3 * v + size_t(a)]));
                hi[a] = std::max(hi[a], double(positions[3 * v + size_t(a)]));
            }
        double radius2 = 0;
        for (int a = 0; a < 3; ++a) {
            mid[a] = 0.5 * (lo[a] + hi[a]);
            radius2 += (hi[a] - mid[a]) * (hi[a] - mid[a]);
        }
        // Every vertex of the block is within the block's radius of its
        // middle, so the four bones nearest the middle are all within
        // their distance plus that radius of each vertex: no bone further
        // than that from the block's box can be among a vertex's nearest.
        const Nearest centre = nearestBones(tree, mid, previous.count > 0 ? &previous : nullptr);
        previous = centre;
        if (centre.count < 4) {
            candidates.resize(tree.segments.size());
            for (uint32_t i = 0; i < candidates.size(); ++i)
                candidates[i] = i;
        } else {
            const double bound = std::sqrt(centre.distance2[3]) + std::sqrt(radius2) + searchSlack(tree, lo, hi);
            segmentsNear(tree, lo, hi, bound * bound, candidates);
        }
        for (size_t v = start; v < end; ++v) {
            const double p[3] = {positions[3 * v], positions[3 * v + 1], positions[3 * v + 2]};
            Nearest n;
            if (candidates.size() <= kMostCandidates) {
                for (uint32_t place : candidates) {
                    const SegmentTree::Segment &s = tree.segments[place];
                    offerBone(n, segmentDistance2(s, p), s.bone);
                }
            } else {
                n = nearestBones(tree, p, &previous);
                previous = n;
            }
            putWeights(tree, n, eps2, v, out);
        }
    }
}

} // namespace standin::geometry
