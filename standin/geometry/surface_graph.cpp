// The surface graph: the points numbered as they first come (nothing to do
// for one set), the triangles around each node listed, each node's edges
// gathered from its triangles (counted first, then written), then a
// breadth-first walk that finds the parts.
#include "standin/geometry/surface_graph.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace standin::geometry {
namespace {

constexpr uint32_t kEmpty = UINT32_MAX;

// Welds several sets: numbers their vertices' points as nodes, and fills
// the graph's own positions, normals and corners.
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
            }
            graph.nodeOf[v] = node;
        }
    corners.reserve(indices);
    const uint32_t *nodeOf = graph.nodeOf.data();
    for (const TriangleSet &s : sets) {
        for (size_t t = 0; t < s.indexCount; ++t)
            corners.push_back(nodeOf[s.indices32 ? s.indices32[t] : s.indices16[t]]);
        nodeOf += s.vertexCount;
    }
    graph.positions = graph.ownPositions.data();
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

SurfaceGraph surfaceGraph(const std::vector<TriangleSet> &sets, size_t pointCount) {
    SurfaceGraph graph;
    platform::LargeVector<uint32_t> ownCorners;
    const uint32_t *c = nullptr;
    size_t triangles = 0;
    if (sets.size() == 1 && sets[0].indices32) {
        graph.nodes = sets[0].vertexCount;
        graph.positions = sets[0].positions;
        c = sets[0].indices32;
        triangles = sets[0].indexCount / 3;
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

    // Each node's edges: the other corners of its triangles, each once.
    // `gather(n, out)` puts them in `out` and returns how many.
    uint32_t found[64];
    std::vector<uint32_t> many;
    const auto gather = [&](uint32_t n) -> std::pair<const uint32_t *, size_t> {
        const size_t most = 2 * size_t(around[n + 1] - around[n]);
        uint32_t *out = found;
        if (most > 64) {
            many.resize(most);
            out = many.data();
        }
        size_t count = 0;
        for (uint32_t k = around[n]; k < around[n + 1]; ++k)
            for (size_t j = 0; j < 3; ++j) {
                const uint32_t m = c[3 * size_t(triangleList[k]) + j];
                if (m == n || std::find(out, out + count, m) != out + count)
                    continue;
                out[count++] = m;
            }
        return {out, count};
    };
    graph.first.resize(nodes + 1);
    graph.first[0] = 0;
    for (uint32_t n = 0; n < nodes; ++n)
        graph.first[n + 1] = graph.first[n] + uint32_t(gather(n).second);
    graph.links.resize(graph.first[nodes]);
    for (uint32_t n = 0; n < nodes; ++n) {
        const auto [list, count] = gather(n);
        const float *p = graph.positions + 3 * size_t(n);
        SurfaceGraph::Link *link = graph.links.data() + graph.first[n];
        for (size_t k = 0; k < count; ++k) {
            const float *q = graph.positions + 3 * size_t(list[k]);
            const double d[3] = {double(q[0]) - p[0], double(q[1]) - p[1], double(q[2]) - p[2]};
            link[k] = {list[k], float(std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]))};
        }
    }
    findParts(graph, touchesArea);
    return graph;
}

void takeNormals(SurfaceGraph &graph, const std::vector<TriangleSet> &sets) {
    if (graph.nodeOf.empty()) {
        assert(sets.size() == 1);
        graph.normals = sets[0].normals;
        return;
    }
    graph.ownNormals.assign(3 * graph.nodes, 0.0f);
    const uint32_t *node = graph.nodeOf.data();
    for (const TriangleSet &s : sets)
        for (size_t i = 0; i < s.vertexCount; ++i, ++node)
            for (size_t k = 0; k < 3; ++k)
                graph.ownNormals[3 * size_t(*node) + k] += s.normals[3 * i + k];
    for (size_t n = 0; n < graph.nodes; ++n) {
        float *normal = graph.ownNormals.data() + 3 * n;
        const double length =
            std::sqrt(double(normal[0]) * normal[0] + double(normal[1]) * normal[1] + double(normal[2]) * normal[2]);
        for (size_t k = 0; k < 3; ++k)
            normal[k] = length > 0 ? float(normal[k] / length) : 0.0f;
    }
    graph.normals = graph.ownNormals.data();
}

} // namespace standin::geometry
