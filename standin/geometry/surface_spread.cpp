// The spread: the seeds sorted by distance, then one shortest-path search
// for all the bones at once over the edges in a bucket queue, fed the seeds
// as their distances come up.
#include "standin/geometry/surface_spread.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <vector>

#include "standin/geometry/bucket_queue.h"
#include "standin/platform/alongside.h"
#include "standin/platform/meeting.h"

namespace standin::geometry {
namespace {

// A way to a node at a distance, for a bone: a seed, or a way into the
// other share's node.
struct Queued {
    float distance;
    uint32_t node;
    uint32_t bone;
};

// Whether bone `bone` at distance `g` comes before label k of `l`: nearer,
// or as near and first in the list, so that the labels are the same
// whatever order the bones come in.
bool before(const Labels &l, uint32_t k, uint16_t bone, float g) {
    return g < l.distance[k] || (g == l.distance[k] && bone < l.bone[k]);
}

// Where node labels `l` hold bone `bone`, or l.count where they do not.
uint32_t slotOf(const Labels &l, uint16_t bone) {
    uint32_t k = 0;
    while (k < l.count && l.bone[k] != bone)
        ++k;
    return k;
}

// Brings the search's way to node labels `l` for bone `bone` at distance
// `g`: true when the bone is now among the node's four that way (new, or
// nearer than before), and the way must be queued; false when the node has
// the bone as near already, or taken, when four nearer ones leave it out,
// or from the node's reach on (kReach times its nearest).
[[gnu::always_inline]] inline bool improve(Labels &l, uint16_t bone, float g) {
    if (l.count > 0 && g >= kReach * l.distance[0])
        return false;
    uint32_t i = slotOf(l, bone);
    if (i < l.count) {
        if (l.taken[i] || !(g < l.distance[i]))
            return false;
    } else if (l.count < kLabels) {
        i = l.count++;
    } else if (before(l, kLabels - 1, bone, g)) {
        i = kLabels - 1; // the furthest leaves
    } else {
        return false;
    }
    for (; i > 0 && before(l, i - 1, bone, g); --i) {
        l.distance[i] = l.distance[i - 1];
        l.bone[i] = l.bone[i - 1];
        l.taken[i] = l.taken[i - 1];
    }
    l.distance[i] = g;
    l.bone[i] = bone;
    l.taken[i] = 0;
    return true;
}

// Takes the way to node labels `l` for bone `bone` that the search queued:
// its distance, now final, or -1 where the node has that way taken already
// (by a nearer way in, queued later) or four nearer ones left it out.
float take(Labels &l, uint16_t bone) {
    const uint32_t i = slotOf(l, bone);
    if (i == l.count || l.taken[i])
        return -1;
    l.taken[i] = 1;
    return l.distance[i];
}

// How many places down the bucket the search fetches a node's labels ahead.
constexpr size_t kAhead = 8;

uint32_t bitsOf(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// Every node's seed, nearest first: a radix sort by distance (the bits of a
// distance of at least 0 order as the distances do), stable, so that seeds
// as near keep the nodes' order.
platform::LargeVector<Queued> seedsByDistance(const platform::LargeVector<Labels> &labels) {
    platform::LargeVector<Queued> seeds, scratch;
    size_t count = 0;
    for (const Labels &l : labels)
        count += l.distance[0] < kFar;
    seeds.reserve(count);
    for (uint32_t v = 0; v < labels.size(); ++v)
        if (labels[v].distance[0] < kFar)
            seeds.push_back({labels[v].distance[0], v, labels[v].bone[0]});
    scratch.resize(seeds.size());
    for (int shift = 0; shift < 32; shift += 11) {
        size_t count[2049] = {};
        for (const Queued &q : seeds)
            ++count[((bitsOf(q.distance) >> shift) & 2047) + 1];
        for (size_t d = 0; d < 2048; ++d)
            count[d + 1] += count[d];
        for (const Queued &q : seeds)
            scratch[count[(bitsOf(q.distance) >> shift) & 2047]++] = q;
        seeds.swap(scratch);
    }
    return seeds;
}

// The buckets' width: the shortest edge with a length, and the longest.
void edgeLengths(const SurfaceGraph &graph, double &shortest, double &longest) {
    shortest = kFar, longest = 0;
    for (const SurfaceGraph::Link &link : graph.links)
        if (link.length > 0 && std::isfinite(link.length)) {
            shortest = std::min(shortest, double(link.length));
            longest = std::max(longest, double(link.length));
        }
    if (longest == 0)
        shortest = longest = 1;
}

// Nodes are dealt to two shares in blocks of 2^kBlockBits, alternately, so
// that both shares have nodes wherever the search is.
constexpr uint32_t kBlockBits = 14;
constexpr uint64_t kNoBucket = UINT64_MAX;

// One share of the search: its nodes' queue, where it is in the seeds (all
// the shares', nearest first), and the nodes of the other share that its
// nodes reached in the last two rounds (a round's by its parity, so that
// one round's are read while the next one's are made).
struct Share {
    BucketQueue queue;
    const platform::LargeVector<Queued> *seeds = nullptr;
    size_t seed = 0;
    std::vector<Queued> away[2];
    uint64_t next = kNoBucket;
};

// The search: the graph, the labels and the two shares.
struct Search {
    const SurfaceGraph &graph;
    platform::LargeVector<Labels> &labels;
    Share share[2];
};

// Queues node `node` for bone `bone` at distance `g` where that way brings
// the node nearer to the bone (improve).
[[gnu::always_inline]] inline void reach(Search &s, uint32_t node, uint16_t bone, float g, BucketQueue &queue) {
    if (improve(s.labels[node], bone, g))
        push(queue, g, node, bone);
}

uint32_t ownerOf(uint32_t node) { return (node >> kBlockBits) & 1; }

// Moves share `self` on to its next seed, past the other share's.
void skipOthers(Share &own, uint32_t self) {
    while (own.seed < own.seeds->size() && ownerOf((*own.seeds)[own.seed].node) != self)
        ++own.seed;
}

// The share's next bucket to take: the first it has a node queued in, or
// its next seed's.
uint64_t nextBucket(Share &own) {
    uint64_t next = own.queue.size > 0 ? firstFullBucket(own.queue) : kNoBucket;
    if (own.seed < own.seeds->size())
        next = std::min(next, bucketIndex(own.queue, (*own.seeds)[own.seed].distance));
    return next;
}

// Takes way e to its node: where it is still the node's way to its bone,
// queues the ways on to the neighbours that the share holds, and puts the
// others in `away`.
void takeWay(Search &s, uint32_t self, const Way &e, std::vector<Queued> &away) {
    const uint16_t bone = uint16_t(e.bone);
    const float distance = take(s.labels[e.node], bone);
    if (distance < 0)
        return;
    for (uint32_t k = s.graph.first[e.node]; k < s.graph.first[e.node + 1]; ++k) {
        const SurfaceGraph::Link link = s.graph.links[k];
        const float g = distance + link.length;
        if (ownerOf(link.node) != self)
            away.push_back({g, link.node, bone});
        else
            reach(s, link.node, bone, g, s.share[self].queue);
    }
}

// Round `round` of share `self`, at bucket `at`: its seeds of that bucket
// queued, then every node of the bucket taken, those it queues there too.
void takeBucket(Search &s, uint32_t self, uint64_t at, size_t round) {
    Share &own = s.share[self];
    std::vector<Queued> &away = own.away[round & 1];
    away.clear();
    own.queue.at = at;
    for (skipOthers(own, self);
         own.seed < own.seeds->size() && bucketIndex(own.queue, (*own.seeds)[own.seed].distance) <= at;
         ++own.seed, skipOthers(own, self)) {
        const Queued &q = (*own.seeds)[own.seed];
        reach(s, q.node, uint16_t(q.bone), q.distance, own.queue);
    }
    std::vector<Way> &bucket = current(own.queue);
    while (!bucket.empty()) {
        // The nodes further down the bucket are taken soon: fetch their
        // labels and edges, and then their neighbours' labels, while this
        // one's are followed.
        if (bucket.size() > 2 * kAhead) {
            const uint32_t later = bucket[bucket.size() - 2 * kAhead].node;
            __builtin_prefetch(&s.labels[later]);
            __builtin_prefetch(&s.graph.links[s.graph.first[later]]);
            const uint32_t soon = bucket[bucket.size() - kAhead].node;
            for (uint32_t k = s.graph.first[soon]; k < s.graph.first[soon + 1]; ++k)
                __builtin_prefetch(&s.labels[s.graph.links[k].node]);
        }
        const Way e = bucket.back();
        bucket.pop_back();
        --own.queue.size;
        takeWay(s, self, e, away);
    }
}

// The other share's nodes of share `self` from round `round`, queued as its
// own would be; then the share's next bucket.
void receive(Search &s, uint32_t self, size_t round) {
    Share &own = s.share[self];
    for (const Queued &q : s.share[1 - self].away[round & 1])
        reach(s, q.node, uint16_t(q.bone), q.distance, own.queue);
    own.next = nextBucket(own);
}

// The rounds of shares `first` to `end` (both, or one of two beside another
// thread that meets this one at `meeting`): each takes its nodes of the
// nearest bucket any share has, then the nodes the other share reached for
// it, until no share has any.
void rounds(Search &s, uint32_t first, uint32_t end, platform::Meeting *meeting) {
    uint64_t at = std::min(s.share[0].next, s.share[1].next);
    for (size_t round = 0; at != kNoBucket; ++round) {
        for (uint32_t self = first; self < end; ++self)
            takeBucket(s, self, at, round);
        platform::meet(meeting);
        for (uint32_t self = first; self < end; ++self)
            receive(s, self, round);
        platform::meet(meeting);
        at = std::min(s.share[0].next, s.share[1].next);
    }
}

} // namespace

void spreadSeeds(const SurfaceGraph &graph, bool twoThreads, platform::LargeVector<Labels> &labels) {
    platform::LargeVector<Queued> seeds = seedsByDistance(labels);
    for (Labels &l : labels)
        l.count = 0;
    if (seeds.empty())
        return;
    double shortest, longest;
    edgeLengths(graph, shortest, longest);
    Search s{graph, labels, {}};
    for (uint32_t self = 0; self < 2; ++self) {
        Share &share = s.share[self];
        startQueue(share.queue, seeds.front().distance, shortest, longest);
        share.seeds = &seeds;
        skipOthers(share, self);
        share.next = nextBucket(share);
    }
    // Each share on a thread of its own, or both here, one after the other
    // in each step, where there is no second thread: the same labels.
    platform::Meeting meeting;
    bool done = false;
    platform::alongside(
        twoThreads,
        [&] {
            if (!done)
                rounds(s, 1, 2, &meeting);
        },
        [&](bool alone) {
            rounds(s, 0, alone ? 2 : 1, alone ? nullptr : &meeting);
            if (alone)
                done = true;
        });
}

} // namespace standin::geometry
