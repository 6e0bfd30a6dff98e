// Surface weights: the seeds from the nearest-bone search, each part turned
// the way its nodes vote, the seeds spread over the surface
// (surface_spread.h), and each node's four nearest turned into weights.
#include "standin/geometry/surface_weights.h"

#include <algorithm>
#include <cassert>
#include <cfloat>
#include <cmath>

#include "standin/geometry/nearest_search.h"
#include "standin/geometry/surface_spread.h"
#include "standin/platform/alongside.h"

namespace standin::geometry {
namespace {

// A bone seeds a node only when it lies within this cosine of straight in
// from the node's surface: a bone just behind the surface's edge, as an arm
// hanging beside the torso is from the torso's back, is seen through the
// body rather than from inside it.
constexpr double kBehind = 0.5;

// With two threads, this one seeds the first kOwnTenths tenths of the nodes,
// rounded down to a whole number of the search's blocks so that the helper's
// share, the rest (about 40 %), starts on a block's boundary as it would on
// one thread.
constexpr size_t kOwnTenths = 6;

// How a bone's weight falls with its distance over the nearest's, r >= 1:
// 1 at r = 1, 0 from kReach on, smooth in between.
double falloff(double r) {
    const double t = std::clamp((double(kReach) - r) / (double(kReach) - 1.0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t) / (r * r * r * r);
}

// Where segment `s` comes nearest point `p`, less p.
void towards(const SegmentTree::Segment &s, const double p[3], double out[3]) {
    const double w[3] = {p[0] - s.base[0], p[1] - s.base[1], p[2] - s.base[2]};
    double t = (w[0] * s.along[0] + w[1] * s.along[1] + w[2] * s.along[2]) * s.inverse;
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    for (int a = 0; a < 3; ++a)
        out[a] = s.base[a] + t * s.along[a] - p[a];
}

// Each node's seed for either way round its part: the nearest of its four
// nearest bones behind its surface, taken with its normal (slot 0) or
// against it (slot 1), into the labels of nodes `first` to `end`; `vote`
// gets, by part, the nodes whose nearest bone is behind less those whose
// nearest is in front.
void findSeeds(const SegmentTree &tree, const SurfaceGraph &graph, size_t first, size_t end,
               platform::LargeVector<Labels> &labels, std::vector<int64_t> &vote) {
    vote.assign(graph.partCount(), 0);
    const auto seed = [&](size_t v, const Nearest &n) {
        const double p[3] = {graph.positions[3 * v], graph.positions[3 * v + 1], graph.positions[3 * v + 2]};
        const float *normal = graph.normals + 3 * v;
        Labels &l = labels[v];
        l.count = 0;
        l.distance[0] = l.distance[1] = kFar;
        bool found[2] = {false, false};
        for (uint32_t i = 0; i < n.count; ++i) {
            double to[3];
            towards(tree.segments[tree.placeOf[n.bone[i]]], p, to);
            const double side = normal[0] * to[0] + normal[1] * to[1] + normal[2] * to[2];
            // Well behind: within 60 degrees of straight in; any bone where
            // the normal is 0 (its sides cancel out).
            const bool flat = normal[0] == 0 && normal[1] == 0 && normal[2] == 0;
            const double depth = flat ? 0.0 : kBehind * std::sqrt(n.distance2[i]);
            if (i == 0)
                vote[graph.part[v]] += side < 0 ? 1 : (side > 0 ? -1 : 0);
            for (size_t way = 0; way < 2; ++way)
                if (!found[way] && (way == 0 ? side <= -depth : side >= depth)) {
                    found[way] = true;
                    l.bone[way] = uint16_t(n.bone[i]);
                    l.distance[way] = float(std::sqrt(n.distance2[i]));
                }
        }
    };
    forEachNearest(tree, graph.positions, first, end, seed, NearestAnswer::FarBlocksByTheirMiddle);
}

// The weights of one node's labels into slots 4 * node ...
void putLabels(const SegmentTree &tree, const Labels &labels, size_t node, double eps, SkinWeights &out) {
    SkinSlot slots[kLabels];
    const double nearest = std::max(double(labels.distance[0]), eps);
    for (uint32_t k = 0; k < labels.count; ++k)
        slots[k] = {tree.joints[labels.bone[k]], falloff(std::max(double(labels.distance[k]), eps) / nearest)};
    putSkinSlots(slots, labels.count, node, out);
}

} // namespace

SkinWeights surfaceWeights(const SegmentTree &tree, const SurfaceGraph &graph, double modelSize, bool twoThreads,
                           SurfaceWeightNotes &notes) {
    assert(!tree.segments.empty() && tree.joints.size() <= 0x10000);
    const size_t nodes = graph.nodes, parts = graph.partCount();
    platform::LargeVector<Labels> labels(nodes);
    // The seeds, the rest after this thread's share (kOwnTenths) on a second
    // thread.
    std::vector<int64_t> vote, helperVote;
    size_t split = twoThreads ? nodes * kOwnTenths / 10 / kNearestBlock * kNearestBlock : nodes;
    platform::alongside(
        twoThreads, [&] { findSeeds(tree, graph, split, nodes, labels, helperVote); },
        [&](bool alone) {
            if (alone)
                split = nodes;
            findSeeds(tree, graph, 0, split, labels, vote);
        });
    for (size_t part = 0; part < helperVote.size(); ++part)
        vote[part] += helperVote[part];

    // Each part the way round that most of its nodes find their nearest
    // bone behind them; a part with no area has no surface to follow.
    for (size_t v = 0; v < nodes; ++v) {
        Labels &l = labels[v];
        const uint32_t part = graph.part[v];
        if (vote[part] < 0) {
            l.distance[0] = l.distance[1];
            l.bone[0] = l.bone[1];
        }
        if (!graph.partHasArea[part])
            l.distance[0] = kFar;
    }
    spreadSeeds(graph, twoThreads, labels);

    // The weights, and the distance weights of nodes that nothing reached
    // (their part had no seed, or no area), each thread half the nodes.
    SkinWeights out = emptyWeights(tree, nodes);
    const double eps = std::max(1e-4 * modelSize, DBL_MIN);
    const auto weigh = [&](size_t first, size_t end) {
        for (size_t v = first; v < end; ++v) {
            if (labels[v].count > 0) {
                putLabels(tree, labels[v], v, eps, out);
                continue;
            }
            copySkinSlots(skinWeights(tree, graph.positions + 3 * v, 1, modelSize), 0, out, v);
        }
    };
    platform::alongside(
        twoThreads, [&] { weigh(nodes / 2, nodes); }, [&](bool) { weigh(0, nodes / 2); });
    std::vector<uint8_t> counted(parts, 0);
    for (size_t v = 0; v < nodes; ++v)
        if (labels[v].count == 0) {
            notes.fallbackNodes += 1;
            notes.fallbackParts += counted[graph.part[v]] ? 0 : 1;
            counted[graph.part[v]] = 1;
        }
    return out;
}

} // namespace standin::geometry
