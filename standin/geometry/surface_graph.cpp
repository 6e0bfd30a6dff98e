// The surface graph: the points of several sets numbered as they first
// come (one set's vertices are the nodes as they are); each node's
// neighbours listed straight from the triangles, repeats and all, then
// each kept once and written with its length; the parts found meanwhile by
// joining each triangle's corners.
#include "standin/geometry/surface_graph.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "standin/platform/alongside.h"

namespace standin::geometry {
namespace {

constexpr uint32_t kEmpty = UINT32_MAX;

// Welds several sets: numbers their vertices' points as nodes, and fills
// the graph's own positions, normals (each node's vertices' normals summed,
// scaled to unit length) and corners.
void weld(const std::vector<TriangleSet> &sets, size_t pointCount, SurfaceGraph &graph,
          platform::LargeVector<uint32_t> &corners) {
    size_t vertices = 0, indices = 0;
    for (const TriangleSet &s : sets) {
        vertices += s.vertexCount;
        indices += s.indexCount;
    }
    platform::LargeVector<uint32_t> nodeOfPoint(pointCount, kEmpty);
    graph.nodeOf.resize(vertices);
    size_t v = 0;
    for (const TriangleSet &s : sets)
        for (size_t i = 0; i < s.vertexCount; ++i, ++v) {
            assert(s.points[i] < pointCount);
            uint32_t &node = nodeOfPoint[s.points[i]];
            if (node == kEmpty) {
                node = uint32_t(graph.ownPositions.size() / 3);
                graph.ownPositions.insert(graph.ownPositions.end(), s.positions + 3 * i, s.positions + 3 * i + 3);
                graph.ownNormals.insert(graph.ownNormals.end(), 3, 0.0f);
            }
            for (size_t k = 0; k < 3; ++k)
                graph.ownNormals[3 * size_t(node) + k] += s.normals[3 * i + k];
            graph.nodeOf[v] = node;
        }
    for (size_t n = 0; n < graph.ownNormals.size(); n += 3) {
        float *normal = graph.ownNormals.data() + n;
        const double length =
            std::sqrt(double(normal[0]) * normal[0] + double(normal[1]) * normal[1] + double(normal[2]) * normal[2]);
        for (size_t k = 0; k < 3; ++k)
            normal[k] = length > 0 ? float(normal[k] / length) : 0.0f;
    }
    corners.reserve(indices);
    const uint32_t *nodeOf = graph.nodeOf.data();
    for (const TriangleSet &s : sets) {
        for (size_t t = 0; t < s.indexCount; ++t)
            corners.push_back(nodeOf[s.indices32 ? s.indices32[t] : s.indices16[t]]);
        nodeOf += s.vertexCount;
    }
    graph.positions = graph.ownPositions.data();
    graph.normals = graph.ownNormals.data();
}

// Whether triangle a, b, c has an area.
bool hasArea(const float *positions, uint32_t a, uint32_t b, uint32_t c) {
    const float *pa = positions + 3 * size_t(a), *pb = positions + 3 * size_t(b), *pc = positions + 3 * size_t(c);
    double u[3], w[3];
    for (size_t k = 0; k < 3; ++k) {
        u[k] = double(pb[k]) - pa[k];
        w[k] = double(pc[k]) - pa[k];
    }
    return u[1] * w[2] - u[2] * w[1] != 0 || u[2] * w[0] - u[0] * w[2] != 0 || u[0] * w[1] - u[1] * w[0] != 0;
}

// Whether triangle t of corners `c` names three nodes (one named twice
// adds no edge).
bool proper(const uint32_t *c, size_t t) {
    return c[3 * t] != c[3 * t + 1] && c[3 * t + 1] != c[3 * t + 2] && c[3 * t] != c[3 * t + 2];
}

// The root of node n's part in `parent`, halving the way there as it goes.
uint32_t rootOf(platform::LargeVector<uint32_t> &parent, uint32_t n) {
    while (parent[n] != n) {
        parent[n] = parent[parent[n]];
        n = parent[n];
    }
    return n;
}

// Joins the parts of every proper triangle's corners in `parent` (each
// node its own part to begin with), a part's root its lowest node.
void joinParts(const uint32_t *c, size_t triangles, size_t nodes, platform::LargeVector<uint32_t> &parent) {
    parent.resize(nodes);
    for (uint32_t n = 0; n < nodes; ++n)
        parent[n] = n;
    for (size_t t = 0; t < triangles; ++t) {
        if (!proper(c, t))
            continue;
        for (size_t k = 1; k < 3; ++k) {
            const uint32_t a = rootOf(parent, c[3 * t]), b = rootOf(parent, c[3 * t + k]);
            if (a != b)
                parent[std::max(a, b)] = std::min(a, b);
        }
    }
}

// Numbers the parts in the order of their lowest nodes, and tells which
// have a triangle with an area.
void numberParts(SurfaceGraph &graph, platform::LargeVector<uint32_t> &parent,
                 const platform::LargeVector<uint8_t> &touchesArea) {
    graph.part.resize(graph.nodes);
    for (uint32_t n = 0; n < graph.nodes; ++n) {
        const uint32_t root = rootOf(parent, n);
        if (root == n) {
            graph.part[n] = uint32_t(graph.partHasArea.size());
            graph.partHasArea.push_back(0);
        } else {
            graph.part[n] = graph.part[root];
        }
        graph.partHasArea[graph.part[n]] |= touchesArea[n];
    }
}

} // namespace

SurfaceGraph surfaceGraph(const std::vector<TriangleSet> &sets, size_t pointCount, bool twoThreads,
                          const std::function<void()> &beside) {
    SurfaceGraph graph;
    platform::LargeVector<uint32_t> ownCorners;
    const uint32_t *c = nullptr;
    size_t triangles = 0;
    if (sets.size() == 1) {
        // One set: its vertices are the nodes, its arrays the graph's.
        const TriangleSet &only = sets[0];
        graph.nodes = only.vertexCount;
        graph.positions = only.positions;
        graph.normals = only.normals;
        if (!only.indices32)
            ownCorners.assign(only.indices16, only.indices16 + only.indexCount);
        c = only.indices32 ? only.indices32 : ownCorners.data();
        triangles = only.indexCount / 3;
    } else {
        if (beside)
            beside();
        weld(sets, pointCount, graph, ownCorners);
        graph.nodes = graph.ownPositions.size() / 3;
        c = ownCorners.data();
        triangles = ownCorners.size() / 3;
    }
    const size_t nodes = graph.nodes;

    // Each node's neighbours, with repeats: the two other corners of each
    // proper triangle it is a corner of, in the triangles' order, counted
    // and then written from the end down; the other thread meanwhile joins
    // the triangles' corners into parts.
    platform::LargeVector<uint32_t> at(nodes + 1, 0), neighbours, parent;
    platform::LargeVector<uint8_t> touchesArea(nodes, 0);
    platform::alongside(
        twoThreads,
        [&] {
            if (beside && sets.size() == 1)
                beside();
            joinParts(c, triangles, nodes, parent);
        },
        [&](bool) {
            for (size_t t = 0; t < triangles; ++t)
                if (proper(c, t))
                    for (size_t k = 0; k < 3; ++k)
                        at[c[3 * t + k]] += 2;
            for (size_t n = 0; n < nodes; ++n)
                at[n + 1] += at[n];
            neighbours.resize(at[nodes]);
            for (size_t t = triangles; t-- > 0;) {
                if (!proper(c, t))
                    continue;
                const uint32_t *corner = c + 3 * t;
                const uint8_t area = hasArea(graph.positions, corner[0], corner[1], corner[2]);
                for (size_t k = 3; k-- > 0;) {
                    uint32_t *end = neighbours.data() + at[corner[k]];
                    for (size_t j = 3; j-- > 0;)
                        if (j != k)
                            *--end = corner[j];
                    at[corner[k]] -= 2;
                    touchesArea[corner[k]] |= area;
                }
            }
        });

    // Each node's edges: its neighbours, each once, in the order they first
    // come (kept at the start of its own neighbours), then written with
    // their lengths; with two threads each takes half the nodes.
    const auto halves = [&](auto &&walk) {
        const uint32_t half = uint32_t(nodes / 2);
        platform::alongside(
            twoThreads, [&] { walk(half, uint32_t(nodes)); }, [&](bool) { walk(0, half); });
    };
    graph.first.resize(nodes + 1);
    graph.first[0] = 0;
    halves([&](uint32_t from, uint32_t end) {
        for (uint32_t n = from; n < end; ++n) {
            uint32_t *own = neighbours.data() + at[n];
            size_t count = 0;
            for (uint32_t k = 0; k < at[n + 1] - at[n]; ++k)
                if (std::find(own, own + count, own[k]) == own + count)
                    own[count++] = own[k];
            graph.first[n + 1] = uint32_t(count);
        }
    });
    for (size_t n = 0; n < nodes; ++n)
        graph.first[n + 1] += graph.first[n];
    graph.links.resize(graph.first[nodes]);
    halves([&](uint32_t from, uint32_t end) {
        for (uint32_t n = from; n < end; ++n) {
            const uint32_t *own = neighbours.data() + at[n];
            const float *p = graph.positions + 3 * size_t(n);
            SurfaceGraph::Link *link = graph.links.data() + graph.first[n];
            for (uint32_t k = 0; k < graph.first[n + 1] - graph.first[n]; ++k) {
                const float *q = graph.positions + 3 * size_t(own[k]);
                const double d[3] = {double(q[0]) - p[0], double(q[1]) - p[1], double(q[2]) - p[2]};
                link[k] = {own[k], float(std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]))};
            }
        }
    });
    platform::LargeVector<uint32_t>().swap(neighbours);
    numberParts(graph, parent, touchesArea);
    return graph;
}

} // namespace standin::geometry
