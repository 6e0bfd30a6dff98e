// The queue of a shortest-path search over a mesh's edges: a node's ways
// in for a bone, by their distance, in buckets of equal width (Dial's
// buckets).  Where the width is
// no more than the shortest edge, taking the buckets in order, and the
// nodes of one bucket in any order, takes every node at its least distance,
// as a heap would: a node in a bucket cannot lead to another in the same
// bucket more cheaply, since any step crosses at least one bucket.
#pragma once

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace standin::geometry {

// A node queued for a bone, in a bucket: the bucket tells its distance
// closely enough for the order, and the node's labels tell it exactly.
struct Way {
    uint32_t node;
    uint32_t bone;
};

// Buckets of `width` from `base` on, held in a ring large enough for the
// longest step: every queued node lies within a step of the bucket being
// taken.
struct BucketQueue {
    double base = 0, width = 1;
    std::vector<std::vector<Way>> ring; // a power of two of buckets
    uint64_t at = 0;                    // the bucket being taken, counted from base
    size_t size = 0;
};

// Empties `queue` for a search whose distances start at `base` and whose
// steps are from `shortest` to `longest` long (both finite and above 0):
// buckets of the shortest step's width, or wider so that the ring holds at
// most 4096 of them.
inline void startQueue(BucketQueue &queue, double base, double shortest, double longest) {
    assert(shortest > 0 && longest >= shortest && std::isfinite(longest));
    queue.base = base;
    queue.width = std::max(shortest, longest / 4000);
    size_t buckets = 4;
    while (double(buckets) < longest / queue.width + 2)
        buckets *= 2;
    if (queue.ring.size() != buckets)
        queue.ring.assign(buckets, {});
    for (std::vector<Way> &bucket : queue.ring)
        bucket.clear();
    queue.at = 0;
    queue.size = 0;
}

// The bucket that distance `g` falls in (0 to 2^62), wherever it is.
inline uint64_t bucketIndex(const BucketQueue &queue, double g) {
    return uint64_t(std::clamp(std::floor((g - queue.base) / queue.width), 0.0, 0x1p62));
}

// The bucket of distance `g` in the ring: never before the one being taken
// nor past the ring's reach, where rounding would put it there.
inline uint64_t bucketOf(const BucketQueue &queue, double g) {
    return std::clamp(bucketIndex(queue, g), queue.at, queue.at + queue.ring.size() - 1);
}

inline void push(BucketQueue &queue, float g, uint32_t node, uint32_t bone) {
    queue.ring[bucketOf(queue, g) & (queue.ring.size() - 1)].push_back({node, bone});
    ++queue.size;
}

// The bucket being taken, where the queue's next node is taken from.
inline std::vector<Way> &current(BucketQueue &queue) { return queue.ring[queue.at & (queue.ring.size() - 1)]; }

// The first bucket from the one being taken on that holds a way; the queue
// must not be empty.
inline uint64_t firstFullBucket(const BucketQueue &queue) {
    assert(queue.size > 0);
    uint64_t b = queue.at;
    while (queue.ring[b & (queue.ring.size() - 1)].empty())
        ++b;
    return b;
}

} // namespace standin::geometry
