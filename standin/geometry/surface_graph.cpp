// The surface graph: the points of several sets numbered as they first
// come (one set's vertices are the nodes as they are), the triangles around each node listed, each node's edges
// gathered from its triangles (counted first, then written), then a
// breadth-first walk that finds the parts.
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

// Numbers the parts: every node reached from one without a part takes the
// next number.
void findParts(SurfaceGraph &graph, const platform::LargeVector<uint8_t> &touchesArea) {
    graph.part.assign(graph.nodes, kEmpty);
    platform::LargeVector<uint32_t> queue;
    for (uint32_t start = 0; start < graph.nodes; ++start) {
        if (graph.part[start] != kEmpty)
            continue;
        const uint32_t part = uint32_t(graph.partHasArea.size());
        uint8_t area = 0;
        queue.assign(1, start);
        graph.part[start] = part;
        for (size_t q = 0; q < queue.size(); ++q) {
            area |= touchesArea[queue[q]];
            for (uint32_t k = graph.first[queue[q]]; k < graph.first[queue[q] + 1]; ++k) {
                const uint32_t n = graph.links[k].node;
                if (graph.part[n] == kEmpty) {
                    graph.part[n] = part;
                    queue.push_back(n);
                }
            }
        }
        graph.partHasArea.push_back(area);
    }
}

} // namespace

SurfaceGraph surfaceGraph(const std::vector<TriangleSet> &sets, size_t pointCount, bool twoThreads) {
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
        weld(sets, pointCount, graph, ownCorners);
        graph.nodes = graph.ownPositions.size() / 3;
        c = ownCorners.data();
        triangles = ownCorners.size() / 3;
    }
    const size_t nodes = graph.nodes;
    const auto proper = [&](size_t t) {
        return c[3 * t] != c[3 * t + 1] && c[3 * t + 1] != c[3 * t + 2] && c[3 * t] != c[3 * t + 2];
    };

    // The triangles around each node.
    platform::LargeVector<uint32_t> around(nodes + 1, 0), triangleList;
    for (size_t t = 0; t < triangles; ++t)
        if (proper(t))
            for (size_t k = 0; k < 3; ++k)
                ++around[c[3 * t + k] + 1];
    for (size_t n = 0; n < nodes; ++n)
        around[n + 1] += around[n];
    triangleList.resize(around[nodes]);
    platform::LargeVector<uint8_t> touchesArea(nodes, 0);
    {
        platform::LargeVector<uint32_t> filled(around.begin(), around.end() - 1);
        for (size_t t = 0; t < triangles; ++t) {
            if (!proper(t))
                continue;
            const bool area = hasArea(graph.positions, c[3 * t], c[3 * t + 1], c[3 * t + 2]);
            for (size_t k = 0; k < 3; ++k) {
                triangleList[filled[c[3 * t + k]]++] = uint32_t(t);
                touchesArea[c[3 * t + k]] |= area;
            }
        }
    }

    // Each node's edges: the other corners of its triangles, each once,
    // counted in one walk and written in a second; with two threads each
    // takes half the nodes.
    const auto gather = [&](uint32_t n, uint32_t *out) {
        size_t count = 0;
        for (uint32_t k = around[n]; k < around[n + 1]; ++k)
            for (size_t j = 0; j < 3; ++j) {
                const uint32_t m = c[3 * size_t(triangleList[k]) + j];
                if (m != n && std::find(out, out + count, m) == out + count)
                    out[count++] = m;
            }
        return count;
    };
    const auto halves = [&](auto &&walk) {
        const uint32_t half = uint32_t(nodes / 2);
        platform::alongside(
            twoThreads, [&] { walk(half, uint32_t(nodes)); }, [&](bool) { walk(0, half); });
    };
    graph.first.resize(nodes + 1);
    graph.first[0] = 0;
    halves([&](uint32_t from, uint32_t end) {
        std::vector<uint32_t> found;
        for (uint32_t n = from; n < end; ++n) {
            found.resize(2 * size_t(around[n + 1] - around[n]));
            graph.first[n + 1] = uint32_t(gather(n, found.data()));
        }
    });
    for (size_t n = 0; n < nodes; ++n)
        graph.first[n + 1] += graph.first[n];
    graph.links.resize(graph.first[nodes]);
    halves([&](uint32_t from, uint32_t end) {
        std::vector<uint32_t> found;
        for (uint32_t n = from; n < end; ++n) {
            found.resize(2 * size_t(around[n + 1] - around[n]));
            const size_t count = gather(n, found.data());
            const float *p = graph.positions + 3 * size_t(n);
            SurfaceGraph::Link *link = graph.links.data() + graph.first[n];
            for (size_t k = 0; k < count; ++k) {
                const float *q = graph.positions + 3 * size_t(found[k]);
                const double d[3] = {double(q[0]) - p[0], double(q[1]) - p[1], double(q[2]) - p[2]};
                link[k] = {found[k], float(std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]))};
            }
        }
    });
    findParts(graph, touchesArea);
    return graph;
}

} // namespace standin::geometry
