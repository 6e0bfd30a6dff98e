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
constexpr float kReach = 1.5f;  // a bone further than this times the nearest weighs nothing
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

// A node's nearest bones along the surface, nearest first, and `nearest`,
// the least of its seed's distance and its labels'.
struct Labels {
    float distance[kLabels];
    uint16_t bone[kLabels];
    float nearest;
    uint8_t count;
};

// What a search asks of a node it reaches, kept apart from the labels so
// that a look at a neighbour touches few bytes: `gate`, the distance from
// which no bone reaches it any more (kReach times its nearest, or its
// fourth nearest's distance when it has four), and the bone and distance
// last queued for it, which another way in that is no shorter need not
// queue again (a distance of -1: the bone is taken).
struct Gate {
    float gate;
    float lastDistance;
    uint32_t lastBone;
};

float gateOf(const Labels &l) {
    const float reach = kReach * l.nearest;
    return l.count == kLabels ? std::min(reach, l.distance[kLabels - 1]) : reach;
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
    forEachNearest(tree, graph.positions, first, end, [&](size_t v, const Nearest &n) {
        const double p[3] = {graph.positions[3 * v], graph.positions[3 * v + 1], graph.positions[3 * v + 2]};
        const float *normal = graph.normals + 3 * v;
        Labels &l = labels[v];
        l.count = 0;
        l.distance[0] = l.distance[1] = kFar;
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
    platform::LargeVector<Reached> buckets[33];
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
        platform::LargeVector<Reached> &from = heap.buckets[i];
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

// The nodes each bone seeds, by bone (a counting sort of each node's
// bone[0] and distance[0]).
struct Seeds {
    platform::LargeVector<uint32_t> first; // bones + 1: where each bone's seeds start
    platform::LargeVector<uint32_t> node;
    platform::LargeVector<float> distance;
};

Seeds seedsByBone(const platform::LargeVector<Labels> &labels, size_t bones) {
    Seeds seeds;
    seeds.first.assign(bones + 1, 0);
    for (const Labels &l : labels)
        if (l.distance[0] < kFar)
            ++seeds.first[size_t(l.bone[0]) + 1];
    for (size_t b = 0; b < bones; ++b)
        seeds.first[b + 1] += seeds.first[b];
    seeds.node.resize(seeds.first[bones]);
    seeds.distance.resize(seeds.first[bones]);
    platform::LargeVector<uint32_t> filled(seeds.first.begin(), seeds.first.end() - 1);
    for (uint32_t v = 0; v < labels.size(); ++v)
        if (labels[v].distance[0] < kFar) {
            const uint32_t at = filled[labels[v].bone[0]]++;
            seeds.node[at] = v;
            seeds.distance[at] = labels[v].distance[0];
        }
    return seeds;
}

// Spreads bone `bone` from the nodes it seeds over the surface, with
// Dijkstra's search in `heap`.  A node passes the bone on only while it is
// among the node's nearest four: a node further along the same shortest
// path then has those four nearer too.
void flood(const SurfaceGraph &graph, const Seeds &seeds, uint32_t bone, platform::LargeVector<Labels> &labels,
           platform::LargeVector<Gate> &gates, RadixHeap &heap) {
    heap.last = 0;
    for (uint32_t k = seeds.first[bone]; k < seeds.first[size_t(bone) + 1]; ++k) {
        Gate &at = gates[seeds.node[k]];
        at.lastBone = bone;
        at.lastDistance = seeds.distance[k];
        push(heap, seeds.distance[k], seeds.node[k]);
    }
    while (heap.size > 0) {
        const Reached e = pop(heap);
        const float g = distanceOf(e.key);
        Gate &at = gates[e.node];
        if (at.lastBone != bone || g > at.lastDistance || !offer(labels[e.node], uint16_t(bone), g))
            continue;
        at.lastDistance = -1;
        at.gate = gateOf(labels[e.node]);
        for (uint32_t k = graph.first[e.node]; k < graph.first[e.node + 1]; ++k) {
            Gate &next = gates[graph.links[k].node];
            const float gu = g + graph.links[k].length;
            if (gu >= next.gate || (next.lastBone == bone && next.lastDistance <= gu))
                continue;
            next.lastBone = bone;
            next.lastDistance = gu;
            push(heap, gu, graph.links[k].node);
        }
    }
}

// Spreads every bone from the nodes it seeds (each node's bone[0] and
// distance[0]), one bone at a time, so that each search's nodes stay near
// one another.  With `twoThreads` the bones are dealt into two shares of
// about as many seeds each, spread by two threads into two sets of labels,
// and each node then keeps the nearest four of both.
void spread(const SurfaceGraph &graph, platform::LargeVector<Labels> &labels, size_t bones, bool twoThreads) {
    const Seeds seeds = seedsByBone(labels, bones);
    platform::LargeVector<Gate> gates(labels.size());
    for (size_t v = 0; v < labels.size(); ++v) {
        labels[v].nearest = labels[v].distance[0];
        gates[v] = {kReach * labels[v].nearest, kFar, UINT32_MAX};
    }
    // The bones with seeds, most seeds first, dealt to the lighter share.
    std::vector<uint32_t> order;
    for (uint32_t b = 0; b < bones; ++b)
        if (seeds.first[b + 1] > seeds.first[b])
            order.push_back(b);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return seeds.first[a + 1] - seeds.first[a] > seeds.first[b + 1] - seeds.first[b];
    });
    std::vector<uint32_t> share[2];
    size_t load[2] = {0, 0};
    for (uint32_t b : order) {
        const int to = twoThreads && load[1] < load[0] ? 1 : 0;
        share[to].push_back(b);
        load[to] += seeds.first[b + 1] - seeds.first[b];
    }
    std::sort(share[0].begin(), share[0].end());
    std::sort(share[1].begin(), share[1].end());
    if (share[1].empty()) {
        RadixHeap heap;
        for (uint32_t b : share[0])
            flood(graph, seeds, b, labels, gates, heap);
        return;
    }
    platform::LargeVector<Labels> other(labels);
    platform::LargeVector<Gate> otherGates(gates);
    platform::alongside(
        true,
        [&] {
            RadixHeap heap;
            for (uint32_t b : share[1])
                flood(graph, seeds, b, other, otherGates, heap);
        },
        [&](bool) {
            RadixHeap heap;
            for (uint32_t b : share[0])
                flood(graph, seeds, b, labels, gates, heap);
        });
    for (size_t v = 0; v < labels.size(); ++v)
        for (uint32_t k = 0; k < other[v].count; ++k)
            offer(labels[v], other[v].bone[k], other[v].distance[k]);
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
    spread(graph, labels, tree.joints.size(), twoThreads);

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
