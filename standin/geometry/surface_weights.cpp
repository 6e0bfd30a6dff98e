// Surface weights: the seeds from the nearest-bone search, then one
// Dijkstra search over every (node, bone) pair at once, in a radix heap on
// the distances' bits, each node taking at most four bones.
#include "standin/geometry/surface_weights.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

#include "standin/geometry/nearest_search.h"
#include "standin/platform/alongside.h"

namespace standin::geometry {
namespace {

constexpr uint32_t kLabels = 4; // bones per node
constexpr float kReach = 1.5f; // a bone further than this times the nearest weighs nothing
constexpr float kFar = std::numeric_limits<float>::infinity();
constexpr uint8_t kUnseeded = 0xFF;
// A bone seeds a node only when it lies within this cosine of straight in
// from the node's surface: a bone just behind the surface's edge, as an arm
// hanging beside the torso is from the torso's back, is seen through the
// body rather than from inside it.
constexpr double kBehind = 0.5;

// How a bone's weight falls with its distance over the nearest's, r >= 1:
// 1 at r = 1, 0 from kReach on, smooth in between.
double falloff(double r) {
    const double t = std::clamp((double(kReach) - r) / (double(kReach) - 1.0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t) / (r * r * r * r);
}

// A node's nearest bones along the surface, nearest first; `nearest` is
// the least of its seed's distance and its labels' (no bone reaches the
// node from further than kReach times that), and `last` the bone and
// distance last queued for it.
struct Labels {
    float distance[kLabels];
    uint16_t bone[kLabels];
    float nearest;
    float lastDistance;
    uint16_t lastBone;
    uint8_t count;
};

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
    forEachNearest(tree, graph.positions, first, end, [&](size_t v, const Nearest &n) {
        const double p[3] = {graph.positions[3 * v], graph.positions[3 * v + 1], graph.positions[3 * v + 2]};
        const float *normal = graph.normals + 3 * v;
        Labels &l = labels[v];
        l.count = 0;
        l.distance[0] = l.distance[1] = kFar;
        l.lastBone = 0;
        l.lastDistance = kFar;
        uint8_t found[2] = {kUnseeded, kUnseeded};
        for (uint32_t i = 0; i < n.count; ++i) {
            double to[3];
            towards(tree.segments[tree.placeOf[n.bone[i]]], p, to);
            const double side = normal[0] * to[0] + normal[1] * to[1] + normal[2] * to[2];
            // Well behind: within 60 degrees of straight in; any bone where
            // the normal is 0 (its sides cancel out).
            const bool flat = normal[0] == 0 && normal[1] == 0 && normal[2] == 0;
            const double reach = flat ? 0.0 : kBehind * std::sqrt(n.distance2[i]);
            if (i == 0)
                vote[graph.part[v]] += side < 0 ? 1 : (side > 0 ? -1 : 0);
            for (size_t way = 0; way < 2; ++way)
                if (found[way] == kUnseeded && (way == 0 ? side <= -reach : side >= reach)) {
                    found[way] = uint8_t(i);
                    l.bone[way] = uint16_t(n.bone[i]);
                    l.distance[way] = float(std::sqrt(n.distance2[i]));
                }
        }
    });
}

// Offers bone `bone` at distance `g` to node labels `l`: true when it is
// among the node's nearest four (and now held), false when four nearer
// ones leave it out.
bool offer(Labels &l, uint16_t bone, float g) {
    if (l.count == kLabels && !(g < l.distance[kLabels - 1]))
        return false;
    uint32_t i = l.count < kLabels ? l.count++ : kLabels - 1;
    for (; i > 0 && g < l.distance[i - 1]; --i) {
        l.distance[i] = l.distance[i - 1];
        l.bone[i] = l.bone[i - 1];
    }
    l.distance[i] = g;
    l.bone[i] = bone;
    l.nearest = std::min(l.nearest, g);
    return true;
}

// A min-queue of (distance, node) for distances that never go below the
// last one taken (a radix heap): keyed by the distances' bits, which order
// as the distances do, an entry in bucket i differing from the last key
// taken first in bit i - 1.
struct Reached {
    uint32_t key, node;
};
struct RadixHeap {
    std::vector<Reached> buckets[33];
    uint32_t last = 0;
    size_t size = 0;
};

size_t bucketOf(uint32_t key, uint32_t last) { return key == last ? 0 : size_t(32 - std::countl_zero(key ^ last)); }

uint32_t keyOf(float g) {
    uint32_t bits;
    std::memcpy(&bits, &g, sizeof bits);
    return bits;
}

float distanceOf(uint32_t key) {
    float g;
    std::memcpy(&g, &key, sizeof g);
    return g;
}

void push(RadixHeap &heap, float g, uint32_t node) {
    const uint32_t key = keyOf(g);
    assert(key >= heap.last);
    heap.buckets[bucketOf(key, heap.last)].push_back({key, node});
    ++heap.size;
}

Reached pop(RadixHeap &heap) {
    assert(heap.size > 0);
    if (heap.buckets[0].empty()) {
        size_t i = 1;
        while (heap.buckets[i].empty())
            ++i;
        std::vector<Reached> &from = heap.buckets[i];
        uint32_t least = from.front().key;
        for (const Reached &e : from)
            least = std::min(least, e.key);
        heap.last = least;
        for (const Reached &e : from)
            heap.buckets[bucketOf(e.key, least)].push_back(e);
        from.clear();
    }
    const Reached e = heap.buckets[0].back();
    heap.buckets[0].pop_back();
    --heap.size;
    return e;
}

// Spreads each bone in turn from the nodes it seeds (each node's bone[0]
// and distance[0], set aside first) over the surface, with Dijkstra's
// search.  A node passes a bone on only while the bone is among its
// nearest four: a node further along the same shortest path then has those
// four nearer too.  The bones are spread one at a time, each search over
// the region it reaches, so the search's nodes stay near one another.
void spread(const SurfaceGraph &graph, platform::LargeVector<Labels> &labels, size_t bones) {
    const size_t nodes = graph.nodes;
    // The seeds by bone: a counting sort.
    platform::LargeVector<uint32_t> firstSeed(bones + 1, 0), seeded(nodes);
    for (size_t v = 0; v < nodes; ++v) {
        Labels &l = labels[v];
        l.nearest = l.distance[0];
        if (l.distance[0] < kFar)
            ++firstSeed[size_t(l.bone[0]) + 1];
    }
    for (size_t b = 0; b < bones; ++b)
        firstSeed[b + 1] += firstSeed[b];
    {
        platform::LargeVector<uint32_t> filled(firstSeed.begin(), firstSeed.end() - 1);
        for (uint32_t v = 0; v < nodes; ++v)
            if (labels[v].distance[0] < kFar)
                seeded[filled[labels[v].bone[0]]++] = v;
    }
    RadixHeap heap;
    for (uint32_t b = 0; b < bones; ++b) {
        heap.last = 0;
        for (uint32_t k = firstSeed[b]; k < firstSeed[size_t(b) + 1]; ++k) {
            Labels &l = labels[seeded[k]];
            l.lastBone = uint16_t(b);
            l.lastDistance = l.nearest;
            push(heap, l.nearest, seeded[k]);
        }
        while (heap.size > 0) {
            const Reached e = pop(heap);
            const Reached r{0, e.node};
            const float rg = distanceOf(e.key);
            Labels &l = labels[r.node];
            if (l.lastBone != b || rg > l.lastDistance || !offer(l, uint16_t(b), rg))
                continue;
            l.lastDistance = -1; // taken: no later way in is shorter
            for (uint32_t k = graph.first[r.node]; k < graph.first[r.node + 1]; ++k) {
                const uint32_t u = graph.links[k].node;
                Labels &next = labels[u];
                const float g = rg + graph.links[k].length;
                if (g >= kReach * next.nearest || (next.count == kLabels && !(g < next.distance[kLabels - 1])) ||
                    (next.lastBone == b && next.lastDistance <= g))
                    continue;
                next.lastBone = uint16_t(b);
                next.lastDistance = g;
                push(heap, g, u);
            }
        }
    }
}

// The weights of one node's labels into slots 4 * node ...
void putLabels(const SegmentTree &tree, const Labels &labels, size_t node, double eps, SkinWeights &out) {
    double w[kLabels] = {0, 0, 0, 0}, sum = 0;
    const double nearest = std::max(double(labels.distance[0]), eps);
    for (uint32_t k = 0; k < labels.count; ++k) {
        w[k] = falloff(std::max(double(labels.distance[k]), eps) / nearest);
        sum += w[k];
    }
    float f[kLabels];
    for (uint32_t k = 0; k < kLabels; ++k)
        f[k] = float(w[k] / sum);
    f[0] = 1.0f - (f[1] + f[2] + f[3]);
    for (uint32_t k = 0; k < kLabels; ++k) {
        const uint16_t joint = f[k] > 0 ? tree.joints[labels.bone[k]] : 0;
        if (!out.joints8.empty())
            out.joints8[4 * node + k] = uint8_t(joint);
        else
            out.joints16[4 * node + k] = joint;
        out.weights[4 * node + k] = f[k] > 0 ? f[k] : 0.0f;
    }
}

} // namespace

SkinWeights surfaceWeights(const SegmentTree &tree, const SurfaceGraph &graph, double modelSize, bool twoThreads,
                           SurfaceWeightNotes &notes) {
    assert(!tree.segments.empty() && tree.joints.size() <= 0x10000);
    const size_t nodes = graph.nodes, parts = graph.partCount();
    platform::LargeVector<Labels> labels(nodes);
    // The seeds, the last 40 % of the nodes (a whole number of the search's
    // blocks) on a second thread.
    std::vector<int64_t> vote, helperVote;
    size_t split = twoThreads ? nodes * 6 / 10 / kNearestBlock * kNearestBlock : nodes;
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
    spread(graph, labels, tree.joints.size());

    SkinWeights out = emptyWeights(tree, nodes);
    const double eps = std::max(1e-4 * modelSize, DBL_MIN);
    std::vector<uint8_t> counted(parts, 0);
    for (size_t v = 0; v < nodes; ++v) {
        if (labels[v].count > 0) {
            putLabels(tree, labels[v], v, eps, out);
            continue;
        }
        // Nothing spread to it: its part had no seed, or no area.
        const SkinWeights one = skinWeights(tree, graph.positions + 3 * v, 1, modelSize);
        for (size_t k = 0; k < 4; ++k) {
            if (!out.joints8.empty())
                out.joints8[4 * v + k] = one.joints8[k];
            else
                out.joints16[4 * v + k] = one.joints16[k];
            out.weights[4 * v + k] = one.weights[k];
        }
        notes.fallbackNodes += 1;
        notes.fallbackParts += counted[graph.part[v]] ? 0 : 1;
        counted[graph.part[v]] = 1;
    }
    return out;
}

} // namespace standin::geometry
