// Skin weights that follow the body's shape: a bone's weight spreads over
// the surface from where the surface wraps that bone, never across the air
// to another part of the body.
#pragma once

#include <cstddef>

#include "standin/geometry/distance_weights.h"
#include "standin/geometry/segment_tree.h"
#include "standin/geometry/surface_graph.h"

namespace standin::geometry {

// What the surface weights could not do: parts of the mesh (see
// SurfaceGraph::part) that took the distance weights instead.
struct SurfaceWeightNotes {
    size_t fallbackParts = 0;
    size_t fallbackNodes = 0;
};

// Binds each node of `graph` to at most four bones of `tree` (which must
// hold at least one), in the layout of SkinWeights with one entry per node.
//
// A node is seeded by the nearest of its four nearest bones that lies well
// behind its surface (within 60 degrees of straight in from the side its
// normal turns from; a part whose nodes mostly find their nearest bone on
// the other side is taken the other way round): its distance to that
// bone.  Every bone's distance then spreads along the surface's edges from
// the nodes it seeds, each node keeping its four nearest bones by that
// distance g (a shortest path).  A bone that lies well behind the node
// among its four nearest is then taken at the shorter of g and its
// straight distance d, so that around a joint, where both bones lie
// behind, they blend as by distance rather than by the seeds' boundary.
// Of the nearest four, bone i weighs falloff(g_i / g_0) * straightness(g_i
// / d_i), g_0 the nearest, all at least eps = 1e-4 * `modelSize`: falloff
// is 1 at the nearest and 0 from 1.5 times its distance, falling in
// sqrt((g_i / g_0)^2 - 1), which beside a joint grows as the way past it;
// straightness is 1 up to 1.2 and falls smoothly to 0 at 1.5, so that a
// bone whose way over the surface is much longer than the straight line
// (down the torso's side from the armpit, for the arm hanging beside it)
// fades out.  Where nothing is left, falloff alone; the weights are then
// scaled to sum to 1.  So a vertex of one leg never takes a bone of the
// other, whose way round runs over the crotch, nor the torso under an arm
// that arm's bone.  Last, a node whose heaviest bone is not every
// neighbour's (a seam, where bones meet) takes 0.4 of its neighbours' mean
// weights, the heaviest four kept, all from the weights before this step.
//
// A part with no area, or with no node that any bone seeds, has no surface
// to follow: its nodes take the distance weights (skinWeights) and `notes`
// counts them.  Time linear in the nodes and edges, whatever the number of
// bones and wherever they stand: each node takes at most four labels (see
// spreadSeeds), and a block of nodes far from every bone is seeded from the
// bones nearest its middle, in one search, however many bones are nearly
// as far; with `twoThreads`, a second thread shares the seeds, the spread
// and the weights, and the result is the same.
SkinWeights surfaceWeights(const SegmentTree &tree, const SurfaceGraph &graph, double modelSize, bool twoThreads,
                           SurfaceWeightNotes &notes);

} // namespace standin::geometry
