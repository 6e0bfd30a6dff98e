// The bones' distances spread over a surface: for each node, its nearest
// four bones by the shortest way over the surface from the nodes each bone
// seeds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "standin/geometry/surface_graph.h"
#include "standin/platform/large_memory.h"

namespace standin::geometry {

constexpr uint32_t kLabels = 4; // bones a node keeps
constexpr float kReach = 1.5f;  // no bone reaches a node from this many times its nearest's distance
constexpr float kFar = std::numeric_limits<float>::infinity();

// A node's nearest bones along the surface: their distances, nearest first
// (their bones are kept apart, in LabelBones, as a search needs them only
// when it gives the node a bone), `reach`, kReach times its seed's distance
// (from which no bone reaches it), and the bone and distance a search last
// queued for it, which another way in that is no shorter need not queue
// again (a distance of -1: the bone is taken).
struct alignas(32) Labels {
    float distance[kLabels];
    float reach;
    float lastDistance;
    uint16_t lastBone;
    uint8_t count;
};
struct LabelBones {
    uint16_t bone[kLabels];
};

// Spreads every bone from the nodes it seeds over `graph`: before, a node's
// labels hold only its seed, distance[0] (kFar for none) with bone[0] (a
// place among `bones` bones); after, its nearest four bones, each by its
// shortest way over the surface from a node that bone seeds (adding the
// seed's own distance), and nearer than kReach times its seed's distance.
// A node passes a bone on only while the bone is among its four and within
// that reach: a node further along the same way has the four nearer too.
// The bones are spread one at a time, so that a search's nodes stay near
// one another; each bone's spread depends on no other's but through the
// four, so with `twoThreads` the bones are dealt to two threads, into two
// sets of labels, and each node keeps the nearest four of both: the same
// labels as one thread gives.
void spreadSeeds(const SurfaceGraph &graph, size_t bones, bool twoThreads, platform::LargeVector<Labels> &labels,
                 platform::LargeVector<LabelBones> &labelBones);

} // namespace standin::geometry
