// A triangle mesh as one graph over its surface: each point of the model
// one node, joined to the nodes it shares a triangle edge with, and the
// nodes grouped into the parts that the triangles connect them into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "standin/platform/large_memory.h"

namespace standin::geometry {

// One list of triangles over its own vertices (a glTF primitive): three
// floats of position and three of unit normal per vertex, the point of the
// model each vertex is (vertices of one point, in any set, are one node of
// the surface), three indices per triangle in 16 or 32 bits (the other
// pointer null).  The arrays belong to the caller.
struct TriangleSet {
    const float *positions = nullptr;
    const float *normals = nullptr;
    const uint32_t *points = nullptr;
    size_t vertexCount = 0;
    const uint16_t *indices16 = nullptr;
    const uint32_t *indices32 = nullptr;
    size_t indexCount = 0;
};

// The surface of some triangle sets.  Its node arrays are the only set's
// own where there is one set (nodes are then its vertices, `nodeOf` empty),
// else its own copies; either way they stay valid while the sets and the
// graph do.
struct SurfaceGraph {
    // An edge from a node: the node at its other end, and its length.
    struct Link {
        uint32_t node;
        float length;
    };
    size_t nodes = 0;
    const float *positions = nullptr;       // three per node
    const float *normals = nullptr;         // three per node, of unit length (0 where welded ones cancel out)
    platform::LargeVector<uint32_t> first;  // nodes + 1: where each node's edges start in `links`
    platform::LargeVector<Link> links;      // each node's edges, each once
    platform::LargeVector<uint32_t> part;   // by node: the connected part it is in, numbered from 0
    std::vector<uint8_t> partHasArea;       // by part: 1 when a triangle of it has an area
    platform::LargeVector<uint32_t> nodeOf; // by vertex, the sets' vertices one after another (several sets only)
    // The node arrays when there are several sets.
    platform::LargeVector<float> ownPositions, ownNormals;

    size_t partCount() const { return partHasArea.size(); }
};

// The graph of the triangles of `sets`, whose vertices' points are all
// below `pointCount`.  Nodes are numbered in the order their points first
// come (one set's vertices are its nodes, in their order); a node's normal
// is its vertices' normals summed, scaled to unit length.  A triangle
// that names one node twice adds no edge.  Two points at the same place
// stay two nodes, joined only through the triangles they share.  Costs
// time and memory linear in the points and triangles; with `twoThreads`, a
// second thread finds the parts while this one lists the edges, and each
// then writes half the nodes' edges.  `beside`, where given, is the
// caller's own work, done on the second thread before it finds the parts
// (first of all where there are several sets): the sets' normals may be
// made there, as the graph reads them only when it welds several sets.
SurfaceGraph surfaceGraph(const std::vector<TriangleSet> &sets, size_t pointCount, bool twoThreads = false,
                          const std::function<void()> &beside = {});

} // namespace standin::geometry
