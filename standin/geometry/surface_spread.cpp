// The spread: the seeds sorted by bone and distance, then for each bone one
// shortest-path search over the edges in a bucket queue, fed the bone's
// seeds as its distances come up.
#include "standin/geometry/surface_spread.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <vector>

#include "standin/geometry/bucket_queue.h"
#include "standin/platform/alongside.h"

namespace standin::geometry {
namespace {

// Whether a search may bring a bone to node labels `l` at distance `g`: not
// from its reach on, nor past its fourth.
bool opens(const Labels &l, float g) { return g < l.reach && (l.count < kLabels || g <= l.distance[kLabels - 1]); }

// Whether bone `bone` at distance `g` comes before label k of `l`, whose
// bones are `b`: nearer, or as near and first in the list, so that the
// labels are the same whatever order the bones come in.
bool before(const Labels &l, const LabelBones &b, uint32_t k, uint16_t bone, float g) {
    return g < l.distance[k] || (g == l.distance[k] && bone < b.bone[k]);
}

// Offers bone `bone` at distance `g` to node labels `l` and their bones
// `b`: true when it is among the node's nearest four (and now held), false
// when four nearer ones leave it out.
bool offer(Labels &l, LabelBones &b, uint16_t bone, float g) {
    if (l.count == kLabels && !before(l, b, kLabels - 1, bone, g))
        return false;
    uint32_t i = l.count < kLabels ? l.count++ : kLabels - 1;
    for (; i > 0 && before(l, b, i - 1, bone, g); --i) {
        l.distance[i] = l.distance[i - 1];
        b.bone[i] = b.bone[i - 1];
    }
    l.distance[i] = g;
    b.bone[i] = bone;
    return true;
}

// The seeds, by bone and, within a bone, by distance.
struct Seeds {
    std::vector<uint32_t> first; // bones + 1: where each bone's seeds start
    platform::LargeVector<Queued> seed;
};

uint32_t bitsOf(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// A radix sort by distance (the bits of a distance of at least 0 order as
// the distances do), then a stable counting sort by bone.
Seeds seedsByBone(const platform::LargeVector<Labels> &labels, const platform::LargeVector<LabelBones> &labelBones,
                  size_t bones) {
    platform::LargeVector<Queued> byDistance, scratch;
    for (uint32_t v = 0; v < labels.size(); ++v)
        if (labels[v].distance[0] < kFar)
            byDistance.push_back({labels[v].distance[0], v});
    scratch.resize(byDistance.size());
    for (int shift = 0; shift < 32; shift += 11) {
        size_t count[2049] = {};
        for (const Queued &q : byDistance)
            ++count[((bitsOf(q.distance) >> shift) & 2047) + 1];
        for (size_t d = 0; d < 2048; ++d)
            count[d + 1] += count[d];
        for (const Queued &q : byDistance)
            scratch[count[(bitsOf(q.distance) >> shift) & 2047]++] = q;
        byDistance.swap(scratch);
    }
    Seeds seeds;
    seeds.first.assign(bones + 1, 0);
    for (const Queued &q : byDistance)
        ++seeds.first[size_t(labelBones[q.node].bone[0]) + 1];
    for (size_t b = 0; b < bones; ++b)
        seeds.first[b + 1] += seeds.first[b];
    seeds.seed.resize(byDistance.size());
    std::vector<uint32_t> filled(seeds.first.begin(), seeds.first.end() - 1);
    for (const Queued &q : byDistance)
        seeds.seed[filled[labelBones[q.node].bone[0]]++] = q;
    return seeds;
}

// Queues node `node` for bone `bone` at distance `g`, unless it is queued
// already no further away.
void reach(Labels &l, uint32_t node, uint32_t bone, float g, BucketQueue &queue) {
    if (l.lastBone == bone && l.lastDistance <= g)
        return;
    l.lastBone = uint16_t(bone);
    l.lastDistance = g;
    push(queue, g, node);
}

// Spreads bone `bone` from the nodes it seeds, the shortest way first.
void flood(const SurfaceGraph &graph, const Seeds &seeds, uint32_t bone, double shortest, double longest,
           platform::LargeVector<Labels> &labels, platform::LargeVector<LabelBones> &bones, BucketQueue &queue) {
    const Queued *seed = seeds.seed.data() + seeds.first[bone], *end = seeds.seed.data() + seeds.first[bone + 1];
    if (seed == end)
        return;
    startQueue(queue, seed->distance, shortest, longest);
    for (;;) {
        if (queue.size == 0) {
            if (seed == end)
                return;
            queue.at = bucketOf(queue, seed->distance);
        }
        for (; seed != end && bucketOf(queue, seed->distance) == queue.at; ++seed)
            reach(labels[seed->node], seed->node, bone, seed->distance, queue);
        std::vector<Queued> &bucket = current(queue);
        if (bucket.empty()) {
            ++queue.at;
            continue;
        }
        const Queued e = bucket.back();
        bucket.pop_back();
        --queue.size;
        Labels &l = labels[e.node];
        if (l.lastBone != bone || e.distance > l.lastDistance || !offer(l, bones[e.node], uint16_t(bone), e.distance))
            continue;
        l.lastDistance = -1;
        for (uint32_t k = graph.first[e.node]; k < graph.first[e.node + 1]; ++k) {
            const SurfaceGraph::Link link = graph.links[k];
            Labels &next = labels[link.node];
            const float g = e.distance + link.length;
            if (opens(next, g))
                reach(next, link.node, bone, g, queue);
        }
    }
}

} // namespace

void spreadSeeds(const SurfaceGraph &graph, size_t bones, bool twoThreads, platform::LargeVector<Labels> &labels,
                 platform::LargeVector<LabelBones> &labelBones) {
    const Seeds seeds = seedsByBone(labels, labelBones, bones);
    for (Labels &l : labels) {
        l.reach = kReach * l.distance[0];
        l.lastDistance = kFar;
        l.lastBone = 0;
    }
    // The buckets' width: the shortest edge with a length.
    double shortest = kFar, longest = 0;
    for (const SurfaceGraph::Link &link : graph.links)
        if (link.length > 0 && std::isfinite(link.length)) {
            shortest = std::min(shortest, double(link.length));
            longest = std::max(longest, double(link.length));
        }
    if (longest == 0)
        shortest = longest = 1;

    // The bones with seeds, most seeds first, dealt to the two shares in
    // turn (a search's time goes with the nodes it reaches, which its seeds
    // do not tell, so neither share is given all the large ones).
    std::vector<uint32_t> order;
    for (uint32_t b = 0; b < bones; ++b)
        if (seeds.first[b + 1] > seeds.first[b])
            order.push_back(b);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return seeds.first[a + 1] - seeds.first[a] > seeds.first[b + 1] - seeds.first[b];
    });
    std::vector<uint32_t> share[2];
    for (size_t k = 0; k < order.size(); ++k)
        share[twoThreads ? k % 2 : 0].push_back(order[k]);
    std::sort(share[0].begin(), share[0].end());
    std::sort(share[1].begin(), share[1].end());
    const auto spreadShare = [&](const std::vector<uint32_t> &bonesOf, platform::LargeVector<Labels> &into,
                                 platform::LargeVector<LabelBones> &intoBones) {
        BucketQueue queue;
        for (uint32_t b : bonesOf)
            flood(graph, seeds, b, shortest, longest, into, intoBones, queue);
    };
    if (share[1].empty()) {
        spreadShare(share[0], labels, labelBones);
        return;
    }
    platform::LargeVector<Labels> other(labels);
    platform::LargeVector<LabelBones> otherBones(labelBones);
    platform::alongside(
        true, [&] { spreadShare(share[1], other, otherBones); },
        [&](bool) { spreadShare(share[0], labels, labelBones); });
    for (size_t v = 0; v < labels.size(); ++v)
        for (uint32_t k = 0; k < other[v].count; ++k)
            offer(labels[v], labelBones[v], otherBones[v].bone[k], other[v].distance[k]);
}

} // namespace standin::geometry
