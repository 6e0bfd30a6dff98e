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

// A node's nearest bones along the surface, nearest first: their distances
// and bones, and which of them are final (the search took the node for that
// bone; the others are the nearest ways in that it has queued so far).  One
// record of 32 bytes, as the search reads it for every edge it follows.
struct alignas(32) Labels {
    float distance[kLabels];
    uint16_t bone[kLabels];
    uint8_t taken[kLabels];
    uint8_t count;
};

// Spreads every bone from the nodes it seeds over `graph`: before, a node's
// labels hold only its seed, distance[0] (kFar for none) with bone[0] (a
// place among the bones); after, its nearest four bones, each by its
// shortest way over the surface from a node that bone seeds (adding the
// seed's own distance), and nearer than kReach times its nearest's (a bone
// further than that weighs nothing there, see surface_weights.h).
// One search takes all the bones together, nearest first: a way in is
// queued only where it brings a bone among the node's four nearer than any
// queued before, a label is final once the search takes the node for it,
// and a node passes on only its own four (a node further along the same
// way has the four nearer too).  So each node is taken at most four times
// and each edge followed at most four times each way, whatever the number
// of bones and wherever they stand: time linear in the edges (and the
// distances' range over the shortest edge, in buckets).
// The nodes are dealt to two shares, searched bucket by bucket in step,
// each handing the other the ways into its nodes; with `twoThreads` each
// share has a thread of its own.  The labels are the same either way.
void spreadSeeds(const SurfaceGraph &graph, bool twoThreads, platform::LargeVector<Labels> &labels);

} // namespace standin::geometry
