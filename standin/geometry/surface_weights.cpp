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

// A bone that reaches a node over the surface by a way this many times
// longer than the straight line to it, or more, came round through a fold
// (down the torso's side from the armpit, to the arm beside it) rather than
// along the node's own limb: its weight fades from kStraight to kDetour.
constexpr double kStraight = 1.2;
constexpr double kDetour = 1.5;

// With two threads, this one seeds the first kOwnTenths tenths of the nodes,
// rounded down to a whole number of the search's blocks so that the helper's
// share, the rest (about 40 %), starts on a block's boundary as it would on
// one thread.
constexpr size_t kOwnTenths = 6;

// 0 at x = from, 1 at x = to and beyond, smooth in between (from > to
// included: then falling).
double smoothStep(double x, double from, double to) {
    const double t = std::clamp((x - from) / (to - from), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// How a bone's weight falls with its distance over the nearest's, r >= 1:
// 1 at r = 1, 0 from kReach on.  Beside a joint, a node a way x past it
// along the limb, at a depth d over the bone there, is d from one bone
// and sqrt(d^2 + x^2) from the other, so q = sqrt(r^2 - 1) is x / d: the
// weight falls in q, steeply at the joint and with a long tail, as heat
// spreading from the bones would (a falloff in r itself stays flat at the
// joint, since r grows with x^2, and crowds the turn further out, where a
// bent knee creases).  The falloff in q is 1 / (1 + 2q + 2q^2 + 4q^3/3),
// within 0.03 of exp(-2q) and the same on every platform.
double falloff(double r) {
    const double q = std::sqrt(std::max(r * r - 1.0, 0.0));
    return smoothStep(r, double(kReach), 1.0) / (1.0 + q * (2.0 + q * (2.0 + q * (4.0 / 3.0))));
}

// How much of a bone's weight is left when its way over the surface is `q`
// times the straight line: 1 up to kStraight, 0 from kDetour, smooth between.
double straightness(double q) { return smoothStep(q, kDetour, kStraight); }

// Where segment `s` comes nearest point `p`, less p.
void towards(const SegmentTree::Segment &s, const double p[3], double out[3]) {
    const double w[3] = {p[0] - s.base[0], p[1] - s.base[1], p[2] - s.base[2]};
    double t = (w[0] * s.along[0] + w[1] * s.along[1] + w[2] * s.along[2]) * s.inverse;
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    for (int a = 0; a < 3; ++a)
        out[a] = s.base[a] + t * s.along[a] - p[a];
}

// The bones among a node's four nearest that lie well behind its surface,
// nearest first: their places, and which ways round, two bits each in
// `ways` (the lower: with the normal; the upper: against it).
struct Behind {
    uint16_t bone[4];
    uint8_t ways;
    uint8_t count;
};

// Each node's seed for either way round its part: the nearest of its four
// nearest bones behind its surface, taken with its normal (slot 0) or
// against it (slot 1), into the labels of nodes `first` to `end`; `vote`
// gets, by part, the nodes whose nearest bone is behind less those whose
// nearest is in front.
void findSeeds(const SegmentTree &tree, const SurfaceGraph &graph, size_t first, size_t end,
               platform::LargeVector<Labels> &labels, platform::LargeVector<Behind> &behind,
               std::vector<int64_t> &vote) {
    vote.assign(graph.partCount(), 0);
    const auto seed = [&](size_t v, const Nearest &n) {
        const double p[3] = {graph.positions[3 * v], graph.positions[3 * v + 1], graph.positions[3 * v + 2]};
        const float *normal = graph.normals + 3 * v;
        Labels &l = labels[v];
        l.count = 0;
        l.distance[0] = l.distance[1] = kFar;
        bool found[2] = {false, false};
        Behind &b = behind[v];
        b.count = b.ways = 0;
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
            const uint8_t ways = uint8_t((side <= -depth ? 1 : 0) | (side >= depth ? 2 : 0));
            if (ways != 0) {
                b.ways = uint8_t(b.ways | ways << 2 * b.count);
                b.bone[b.count++] = uint16_t(n.bone[i]);
            }
            for (size_t way = 0; way < 2; ++way)
                if (!found[way] && (ways >> way & 1)) {
                    found[way] = true;
                    l.bone[way] = uint16_t(n.bone[i]);
                    l.distance[way] = float(std::sqrt(n.distance2[i]));
                }
        }
    };
    forEachNearest(tree, graph.positions, first, end, seed, NearestAnswer::FarBlocksByTheirMiddle);
}

// A bone a node may take: its place, its distance (over the surface, or
// straight where it lies behind the node) and its straight distance (-1:
// not yet made).
struct Candidate {
    uint16_t bone;
    double distance, straight;
};

// The bones a node at `p` may take, nearest first (a tie to the first
// bone), into `c`: its labels and the bones behind it (the way `way`
// round), each at the shorter of its distance over the surface and, where
// it lies behind, its straight distance.  Returns how many (at most 8).
uint32_t candidates(const SegmentTree &tree, const double p[3], const Labels &labels, const Behind &behind,
                    unsigned way, Candidate c[kLabels + 4]) {
    uint32_t count = 0;
    for (uint32_t k = 0; k < labels.count; ++k)
        c[count++] = {labels.bone[k], labels.distance[k], -1.0};
    for (uint32_t i = 0; i < behind.count; ++i) {
        if (!(behind.ways >> (2 * i + way) & 1))
            continue;
        const double straight = std::sqrt(segmentDistance2(tree.segments[tree.placeOf[behind.bone[i]]], p));
        uint32_t k = 0;
        while (k < count && c[k].bone != behind.bone[i])
            ++k;
        if (k == count)
            c[count++] = {behind.bone[i], straight, straight};
        c[k].distance = std::min(c[k].distance, straight);
        c[k].straight = straight;
    }
    const auto before = [](const Candidate &a, const Candidate &b) {
        return a.distance < b.distance || (a.distance == b.distance && a.bone < b.bone);
    };
    for (uint32_t i = 1; i < count; ++i)
        for (uint32_t k = i; k > 0 && before(c[k], c[k - 1]); --k)
            std::swap(c[k], c[k - 1]);
    return count;
}

// The weights of one node into slots 4 * node ...: of its nearest four
// candidates, each weighs falloff(distance / nearest's) times its
// straightness (or, where that leaves none, by falloff alone).
void putNode(const SegmentTree &tree, const double p[3], const Labels &labels, const Behind &behind, unsigned way,
             size_t node, double eps, SkinWeights &out) {
    Candidate c[kLabels + 4];
    const uint32_t found = candidates(tree, p, labels, behind, way, c);
    uint32_t count = std::min(found, kLabels);
    SkinSlot straight[kLabels], plain[kLabels];
    const double nearest = std::max(c[0].distance, eps);
    double kept = 0;
    for (uint32_t k = 0; k < count; ++k) {
        if (c[k].straight < 0)
            c[k].straight = std::sqrt(segmentDistance2(tree.segments[tree.placeOf[c[k].bone]], p));
        const double distance = std::max(c[k].distance, eps);
        plain[k] = {tree.joints[c[k].bone], falloff(distance / nearest)};
        straight[k] = {plain[k].joint, plain[k].weight * straightness(distance / std::max(c[k].straight, eps))};
        kept += straight[k].weight;
    }
    SkinSlot *use = kept > 0 ? straight : plain;
    for (uint32_t i = 1; i < count; ++i) // heaviest first, a tie kept in order
        for (uint32_t k = i; k > 0 && use[k].weight > use[k - 1].weight; --k)
            std::swap(use[k], use[k - 1]);
    while (count > 1 && use[count - 1].weight <= 0)
        --count;
    putSkinSlots(use, count, node, out);
}

// The most bones a node's smoothed weights gather before the heaviest four
// are kept: its own four and those of 15 neighbours that share none.  A
// node of more neighbours (a fan's hub) leaves out the bones past these,
// each of which would weigh under 1/32.
constexpr uint32_t kGathered = 64;

// How much of a seam node's weights its neighbours' mean gives: with more,
// a bone's weight reaches a step further into the body beside it (at 0.5,
// a vertex of the back beside a tail's root moved 1.1 cm as the tail
// bent, against 0.6 cm with Blender's weights).
constexpr double kSeamShare = 0.4;

// One bone gathered into a seam node's weights.
struct Gathered {
    uint16_t joint;
    double weight;
};

// Whether node `v`'s heaviest bone in `w` is not the heaviest of each of
// its neighbours: where bones meet.
bool onSeam(const SurfaceGraph &graph, const SkinWeights &w, size_t v) {
    const uint16_t own = skinJoint(w, v, 0);
    for (uint32_t k = graph.first[v]; k < graph.first[v + 1]; ++k)
        if (skinJoint(w, graph.links[k].node, 0) != own)
            return true;
    return false;
}

// Nodes `first` to `end` of `w` into `to` (of the same size): a node with
// labels on a seam (onSeam) with its own weights and its neighbours' mean
// mixed by kSeamShare, the heaviest four kept; any other node as it is.
// One step of the heat that spreads from the bones, where bones meet.
void smoothSeams(const SurfaceGraph &graph, const platform::LargeVector<Labels> &labels, const SkinWeights &w,
                 size_t first, size_t end, SkinWeights &to) {
    // Where each joint is in `gathered` (kGathered: nowhere), set back after
    // each node.
    std::vector<uint8_t> slotOf(0x10000, uint8_t(kGathered));
    for (size_t v = first; v < end; ++v) {
        const uint32_t from = graph.first[v], past = graph.first[v + 1];
        if (labels[v].count == 0 || !onSeam(graph, w, v)) {
            copySkinSlots(w, v, to, v);
            continue;
        }
        Gathered gathered[kGathered];
        uint32_t n = 0;
        const auto add = [&](size_t node, double share) {
            for (size_t i = 0; i < 4 && w.weights[4 * node + i] > 0; ++i) {
                const uint16_t joint = skinJoint(w, node, i);
                uint32_t a = slotOf[joint];
                if (a == kGathered) {
                    if (n == kGathered)
                        continue;
                    a = n++;
                    slotOf[joint] = uint8_t(a);
                    gathered[a] = {joint, 0.0};
                }
                gathered[a].weight += share * double(w.weights[4 * node + i]);
            }
        };
        add(v, 1.0 - kSeamShare);
        for (uint32_t e = from; e < past; ++e)
            add(graph.links[e].node, kSeamShare / double(past - from));
        for (uint32_t a = 0; a < n; ++a)
            slotOf[gathered[a].joint] = uint8_t(kGathered);
        // The heaviest four, in turn (the first of equals first).
        SkinSlot slot[4];
        uint32_t count = 0;
        for (; count < 4 && count < n; ++count) {
            uint32_t best = 0;
            for (uint32_t a = 1; a < n; ++a)
                if (gathered[a].weight > gathered[best].weight)
                    best = a;
            slot[count] = {gathered[best].joint, gathered[best].weight};
            gathered[best].weight = -1; // taken
        }
        putSkinSlots(slot, count, v, to);
    }
}

} // namespace

SkinWeights surfaceWeights(const SegmentTree &tree, const SurfaceGraph &graph, double modelSize, bool twoThreads,
                           SurfaceWeightNotes &notes) {
    assert(!tree.segments.empty() && tree.joints.size() <= 0x10000);
    const size_t nodes = graph.nodes, parts = graph.partCount();
    platform::LargeVector<Labels> labels(nodes);
    platform::LargeVector<Behind> behind(nodes);
    // The seeds, the rest after this thread's share (kOwnTenths) on a second
    // thread.
    std::vector<int64_t> vote, helperVote;
    size_t split = twoThreads ? nodes * kOwnTenths / 10 / kNearestBlock * kNearestBlock : nodes;
    platform::alongside(
        twoThreads, [&] { findSeeds(tree, graph, split, nodes, labels, behind, helperVote); },
        [&](bool alone) {
            if (alone)
                split = nodes;
            findSeeds(tree, graph, 0, split, labels, behind, vote);
        });
    for (size_t part = 0; part < helperVote.size(); ++part)
        vote[part] += helperVote[part];

    // Each part the way round that most of its nodes find their nearest
    // bone behind them (1: against the normals); a part with no area has no
    // surface to follow.
    std::vector<uint8_t> wayRound(parts);
    for (size_t part = 0; part < parts; ++part)
        wayRound[part] = vote[part] < 0 ? 1 : 0;
    for (size_t v = 0; v < nodes; ++v) {
        Labels &l = labels[v];
        const uint32_t part = graph.part[v];
        if (wayRound[part]) {
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
                const double p[3] = {graph.positions[3 * v], graph.positions[3 * v + 1], graph.positions[3 * v + 2]};
                putNode(tree, p, labels[v], behind[v], wayRound[graph.part[v]], v, eps, out);
                continue;
            }
            copySkinSlots(skinWeights(tree, graph.positions + 3 * v, 1, modelSize), 0, out, v);
        }
    };
    platform::alongside(
        twoThreads, [&] { weigh(nodes / 2, nodes); }, [&](bool) { weigh(0, nodes / 2); });
    // The seams smoothed from the weights as they stand.
    SkinWeights smoothed = emptyWeights(tree, nodes);
    platform::alongside(
        twoThreads, [&] { smoothSeams(graph, labels, out, nodes / 2, nodes, smoothed); },
        [&](bool) { smoothSeams(graph, labels, out, 0, nodes / 2, smoothed); });
    out = std::move(smoothed);
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
