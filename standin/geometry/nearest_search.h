// The four nearest bones of many points at once: the points taken in blocks
// of neighbours, each block searched against the few bones that can be
// among its points' nearest.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "standin/geometry/segment_tree.h"

namespace standin::geometry {

// Points per block, and the most candidates for which a block's points are
// each tested against all of them rather than searched one by one.
constexpr size_t kNearestBlock = 16;
constexpr size_t kMostCandidates = 48;

// How exactly forEachNearest answers: every point's own four nearest, or,
// for a block whose points all lie within a twentieth of the distance from
// its middle to the middle's nearest bone, the four nearest the middle for
// each of them (by each point's own distances): a search per block rather
// than per point where the bones are far and nearly as far as one another.
enum class NearestAnswer { Exact, FarBlocksByTheirMiddle };
constexpr double kFarBlock = 1.0 / 20;

// Calls visit(v, nearest) with the nearest bones (exactly those of
// nearestBones, unless `answer` says otherwise) of each point v from
// `first` to `end` of `positions` (three floats each), in order.  `tree`
// must hold at least one segment.  Points that come in the order of a
// mesh's faces are searched fastest: the result does not depend on the
// order.
template <typename Visit>
void forEachNearest(const SegmentTree &tree, const float *positions, size_t first, size_t end, Visit &&visit,
                    NearestAnswer answer = NearestAnswer::Exact) {
    std::vector<uint32_t> candidates;
    candidates.reserve(tree.segments.size());
    Nearest previous; // the nearest bones of the last block's middle, or of the last point
    for (size_t start = first; start < end; start += kNearestBlock) {
        const size_t stop = std::min(end, start + kNearestBlock);
        double lo[3], hi[3], mid[3];
        for (int a = 0; a < 3; ++a)
            lo[a] = hi[a] = positions[3 * start + size_t(a)];
        for (size_t v = start + 1; v < stop; ++v)
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], double(positions[3 * v + size_t(a)]));
                hi[a] = std::max(hi[a], double(positions[3 * v + size_t(a)]));
            }
        double radius2 = 0;
        for (int a = 0; a < 3; ++a) {
            mid[a] = 0.5 * (lo[a] + hi[a]);
            radius2 += (hi[a] - mid[a]) * (hi[a] - mid[a]);
        }
        // Every point of the block is within the block's radius of its
        // middle, so the four bones nearest the middle are all within
        // their distance plus that radius of each point: no bone further
        // than that from the block's box can be among a point's nearest.
        const Nearest centre = nearestBones(tree, mid, previous.count > 0 ? &previous : nullptr);
        previous = centre;
        if (answer == NearestAnswer::FarBlocksByTheirMiddle && centre.count > 0 &&
            radius2 <= kFarBlock * kFarBlock * centre.distance2[0]) {
            candidates.clear();
            for (uint32_t k = 0; k < centre.count; ++k)
                candidates.push_back(tree.placeOf[centre.bone[k]]);
        } else if (centre.count < 4) {
            candidates.resize(tree.segments.size());
            for (uint32_t i = 0; i < candidates.size(); ++i)
                candidates[i] = i;
        } else {
            const double bound = std::sqrt(centre.distance2[3]) + std::sqrt(radius2) + searchSlack(tree, lo, hi);
            segmentsNear(tree, lo, hi, bound * bound, candidates);
        }
        for (size_t v = start; v < stop; ++v) {
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
            visit(v, n);
        }
    }
}

} // namespace standin::geometry
