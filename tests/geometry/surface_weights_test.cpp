// Surface weights: a bone's weight stays on the limb it is in, and every
// vertex of any mesh, however broken, is bound to one to four bones with
// weights that sum to 1.
#include "standin/geometry/surface_weights.h"

#include "standin/geometry/distance_weights.h"
#include "standin/geometry/normals.h"
#include "standin/geometry/surface_graph.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

using namespace standin::geometry;

namespace {

// A closed surface of voxels: the faces between a filled voxel and an
// empty one, each cut into two triangles facing the empty side.
struct VoxelBody {
    std::vector<float> positions;
    std::vector<uint32_t> points, indices;
    std::map<std::array<int, 3>, uint32_t> corner;

    uint32_t at(int x, int y, int z, float size) {
        const auto [it, added] = corner.insert({{x, y, z}, uint32_t(positions.size() / 3)});
        if (added) {
            positions.insert(positions.end(), {float(x) * size, float(y) * size, float(z) * size});
            points.push_back(it->second);
        }
        return it->second;
    }
};

// The voxels of `filled(x, y, z)` in the box 0..n of each axis, of edge
// `size`.
template <typename Filled>
VoxelBody voxelBody(int n, float size, Filled &&filled) {
    VoxelBody body;
    const auto in = [&](int x, int y, int z) {
        return x >= 0 && y >= 0 && z >= 0 && x < n && y < n && z < n && filled(x, y, z);
    };
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            for (int z = 0; z < n; ++z) {
                if (!in(x, y, z))
                    continue;
                for (int axis = 0; axis < 3; ++axis)
                    for (int side : {0, 1}) {
                        int d[3] = {0, 0, 0};
                        d[axis] = side ? 1 : -1;
                        if (in(x + d[0], y + d[1], z + d[2]))
                            continue;
                        // The face's corners, counter-clockwise seen from outside.
                        const int u = (axis + 1) % 3, v = (axis + 2) % 3;
                        int c[4][3];
                        for (int k = 0; k < 4; ++k) {
                            c[k][0] = x, c[k][1] = y, c[k][2] = z;
                            c[k][axis] += side;
                            c[k][u] += (k == 1 || k == 2);
                            c[k][v] += (k >= 2);
                        }
                        uint32_t q[4];
                        for (int k = 0; k < 4; ++k)
                            q[k] = body.at(c[k][0], c[k][1], c[k][2], size);
                        if (side)
                            body.indices.insert(body.indices.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
                        else
                            body.indices.insert(body.indices.end(), {q[0], q[2], q[1], q[0], q[3], q[2]});
                    }
            }
    return body;
}

SkinWeights bindAlongSurface(const VoxelBody &body, const std::vector<SkinBone> &bones, SurfaceWeightNotes &notes,
                             bool twoThreads = false) {
    std::vector<float> normals;
    const size_t count = body.positions.size() / 3;
    vertexNormals(body.positions.data(), count, body.indices.data(), body.indices.size(), normals);
    const std::vector<TriangleSet> sets{{body.positions.data(), normals.data(), body.points.data(), count, nullptr,
                                         body.indices.data(), body.indices.size()}};
    const SurfaceGraph graph = surfaceGraph(sets, count);
    return surfaceWeights(segmentTree(bones), graph, 1.0, twoThreads, notes);
}

// The weight of joint `joint` at vertex v.
float weightOf(const SkinWeights &w, size_t v, uint16_t joint) {
    float sum = 0;
    for (size_t k = 0; k < 4; ++k)
        if (w.joints8[4 * v + k] == joint)
            sum += w.weights[4 * v + k];
    return sum;
}

void expectValid(const SkinWeights &w, size_t count) {
    for (size_t v = 0; v < count; ++v) {
        float sum = 0;
        for (size_t k = 0; k < 4; ++k) {
            const float f = w.weights[4 * v + k];
            ASSERT_TRUE(std::isfinite(f) && f >= 0) << "vertex " << v;
            if (f == 0) {
                EXPECT_EQ(w.joints8[4 * v + k], 0) << "vertex " << v << " names a joint it gives no weight";
            }
            sum += f;
        }
        EXPECT_NEAR(sum, 1.0f, 1e-6f) << "vertex " << v;
        EXPECT_GT(w.weights[4 * v], 0) << "vertex " << v << " is bound to no bone";
    }
}

} // namespace

// Two legs of one body, 0.24 apart, joined at the hips: no vertex of one
// leg below the crotch takes the other leg's bone, which in a straight
// line is only three times as far as its own.
TEST(SurfaceWeights, oneLegNeverTakesTheOtherLegsBone) {
    // Legs 0.16 thick at x 0.08..0.24 and 0.48..0.64, up to y = 1, a hip
    // block above to y = 1.2.
    const VoxelBody body = voxelBody(40, 0.04f, [](int x, int y, int z) {
        const bool leg = (x >= 2 && x < 6) || (x >= 12 && x < 16);
        return z >= 2 && z < 6 && y < 30 && (leg ? true : y >= 25 && x >= 2 && x < 16);
    });
    std::vector<SkinBone> bones(3);
    bones[0] = {{0.16f, 1.1f, 0.16f}, {0.16f, 0.05f, 0.16f}, 1}; // left leg
    bones[1] = {{0.56f, 1.1f, 0.16f}, {0.56f, 0.05f, 0.16f}, 2}; // right leg
    bones[2] = {{0.36f, 1.1f, 0.16f}, {0.36f, 1.15f, 0.16f}, 3}; // hips
    SurfaceWeightNotes notes;
    const SkinWeights surface = bindAlongSurface(body, bones, notes);
    const size_t count = body.positions.size() / 3;
    expectValid(surface, count);
    EXPECT_EQ(notes.fallbackNodes, 0u);
    const SkinWeights distance = skinWeights(segmentTree(bones), body.positions.data(), count, 1.0);
    size_t leftLeg = 0, bledByDistance = 0;
    for (size_t v = 0; v < count; ++v) {
        const float x = body.positions[3 * v], y = body.positions[3 * v + 1];
        if (x > 0.3f || y > 0.8f)
            continue;
        ++leftLeg;
        bledByDistance += weightOf(distance, v, 2) > 0;
        EXPECT_EQ(weightOf(surface, v, 2), 0.0f) << "left leg vertex at " << x << ", " << y;
        EXPECT_GT(weightOf(surface, v, 1), 0.99f) << "left leg vertex at " << x << ", " << y;
    }
    EXPECT_GT(leftLeg, 100u);
    EXPECT_EQ(bledByDistance, leftLeg); // the straight line does bleed

    // Two threads share the work and give the same weights.
    const SkinWeights shared = bindAlongSurface(body, bones, notes, true);
    EXPECT_EQ(shared.joints8, surface.joints8);
    EXPECT_EQ(shared.weights, surface.weights);
}

// A straight limb of two bones: across their joint the blend is even at
// the joint's ring and falls steeply from it, as the heat that spreads from
// bones does, rather than staying near even for the first rings past it.
TEST(SurfaceWeights, aJointsBlendFallsSteeplyFromItsRing) {
    // A bar 0.16 thick along y, the joint at y = 0.6, a ring of the mesh
    // every 0.04.
    const VoxelBody body = voxelBody(
        32, 0.04f, [](int x, int y, int z) { return x >= 1 && x < 5 && z >= 1 && z < 5 && y >= 1 && y < 29; });
    std::vector<SkinBone> bones(2);
    bones[0] = {{0.12f, 0.1f, 0.12f}, {0.12f, 0.6f, 0.12f}, 1};
    bones[1] = {{0.12f, 0.6f, 0.12f}, {0.12f, 1.1f, 0.12f}, 2};
    SurfaceWeightNotes notes;
    const SkinWeights w = bindAlongSurface(body, bones, notes);
    expectValid(w, body.positions.size() / 3);
    // The first bone's weight on the middle of a side of the bar (0.08 over
    // the bones) at each ring from two before the joint to two past it.
    float ring[5] = {-1, -1, -1, -1, -1};
    for (size_t v = 0; v < body.positions.size() / 3; ++v) {
        const float x = body.positions[3 * v], y = body.positions[3 * v + 1], z = body.positions[3 * v + 2];
        const int k = int(std::lround((y - 0.6f) / 0.04f)) + 2;
        if (std::abs(x - 0.04f) < 1e-4f && std::abs(z - 0.12f) < 1e-4f && k >= 0 && k < 5)
            ring[k] = weightOf(w, v, 1);
    }
    EXPECT_NEAR(ring[2], 0.5f, 0.02f);
    EXPECT_GT(ring[1], 0.7f); // a falloff in the distances' ratio gives 0.65
    EXPECT_LT(ring[3], 0.3f);
    EXPECT_NEAR(ring[1] + ring[3], 1.0f, 0.03f) << "the blend is not even both ways";
    EXPECT_GT(ring[0], ring[1]);
    EXPECT_LT(ring[4], ring[3]);
}

// A body with a hole, split over two sets that share its points, a loose
// box far from every bone, a part of no area, and a bone outside the body:
// every vertex is bound, and only the part of no area falls back to the
// distance weights, counted.
TEST(SurfaceWeights, brokenMeshesAreBoundEverywhereAndTheFallbackCounted) {
    VoxelBody body = voxelBody(24, 0.1f, [](int x, int y, int z) {
        const bool torso = x >= 2 && x < 6 && y >= 2 && y < 10 && z >= 2 && z < 5;
        const bool box = x >= 18 && x < 20 && y >= 18 && y < 20 && z >= 18 && z < 20; // far from the bones
        return torso || box;
    });
    body.indices.resize(body.indices.size() - 6 * 3); // a hole: three faces gone
    // Three points in a line: two triangles of no area, on their own.
    const uint32_t flat = uint32_t(body.positions.size() / 3);
    for (int k = 0; k < 3; ++k) {
        body.positions.insert(body.positions.end(), {0.4f, 1.5f + 0.1f * float(k), 0.3f});
        body.points.push_back(flat + uint32_t(k));
    }
    body.indices.insert(body.indices.end(), {flat, flat + 1, flat + 2, flat + 2, flat + 1, flat});

    // Two sets, each its own vertices: the triangles taken alternately.
    const size_t count = body.positions.size() / 3;
    std::vector<float> normals;
    vertexNormals(body.positions.data(), count, body.indices.data(), body.indices.size(), normals);
    struct Set {
        std::vector<float> positions, normals;
        std::vector<uint32_t> points;
        std::vector<uint16_t> indices;
        std::map<uint32_t, uint16_t> vertexOf;
    } halves[2];
    for (size_t t = 0; t < body.indices.size() / 3; ++t) {
        Set &s = halves[t % 2];
        for (size_t k = 0; k < 3; ++k) {
            const uint32_t p = body.indices[3 * t + k];
            const auto [it, added] = s.vertexOf.insert({p, uint16_t(s.points.size())});
            if (added) {
                s.points.push_back(p);
                s.positions.insert(s.positions.end(), &body.positions[3 * p], &body.positions[3 * p] + 3);
                s.normals.insert(s.normals.end(), &normals[3 * p], &normals[3 * p] + 3);
            }
            s.indices.push_back(it->second);
        }
    }
    std::vector<TriangleSet> sets;
    for (const Set &s : halves)
        sets.push_back({s.positions.data(), s.normals.data(), s.points.data(), s.points.size(), s.indices.data(),
                        nullptr, s.indices.size()});
    const SurfaceGraph graph = surfaceGraph(sets, count);
    EXPECT_EQ(graph.partCount(), 3u);

    std::vector<SkinBone> bones(3);
    bones[0] = {{0.4f, 0.3f, 0.35f}, {0.4f, 0.6f, 0.35f}, 0};
    bones[1] = {{0.4f, 0.6f, 0.35f}, {0.4f, 0.9f, 0.35f}, 1};
    bones[2] = {{-3.0f, 0.5f, 0.35f}, {-3.0f, 0.9f, 0.35f}, 2}; // outside the body
    SurfaceWeightNotes notes;
    const SkinWeights w = surfaceWeights(segmentTree(bones), graph, 3.0, false, notes);
    expectValid(w, graph.nodes);
    EXPECT_EQ(notes.fallbackParts, 1u);
    EXPECT_EQ(notes.fallbackNodes, 3u);
    for (size_t v = 0; v < graph.nodes; ++v)
        if (graph.positions[3 * v] < 1.0f && graph.partHasArea[graph.part[v]]) {
            EXPECT_EQ(weightOf(w, v, 2), 0.0f) << "the torso takes the bone outside it";
        }
}

// Just over the size from which the export makes the weights on two threads
// (101,402 nodes, over 100,000): the graph and the weights made with two
// threads are the bytes one thread makes; four bones, so that each thread
// spreads some of them.
TEST(SurfaceWeights, twoThreadsGiveTheBytesOfOne) {
    const VoxelBody body = voxelBody(130, 0.01f, [](int, int, int) { return true; });
    const size_t count = body.positions.size() / 3;
    ASSERT_GT(count, 100000u);
    std::vector<float> normals;
    vertexNormals(body.positions.data(), count, body.indices.data(), body.indices.size(), normals);
    const std::vector<TriangleSet> sets{{body.positions.data(), normals.data(), body.points.data(), count, nullptr,
                                         body.indices.data(), body.indices.size()}};
    std::vector<SkinBone> bones(4);
    bones[0] = {{0.2f, 0.2f, 0.2f}, {0.6f, 0.6f, 0.6f}, 0};
    bones[1] = {{0.6f, 0.6f, 0.6f}, {1.1f, 1.1f, 1.1f}, 1};
    bones[2] = {{0.65f, 0.3f, 0.65f}, {0.65f, 1.0f, 0.65f}, 2};
    bones[3] = {{1.0f, 0.2f, 0.3f}, {0.3f, 0.2f, 1.0f}, 3};
    const SegmentTree tree = segmentTree(bones);
    SkinWeights weights[2];
    for (bool twoThreads : {false, true}) {
        const SurfaceGraph graph = surfaceGraph(sets, count, twoThreads);
        SurfaceWeightNotes notes;
        weights[twoThreads] = surfaceWeights(tree, graph, 1.3, twoThreads, notes);
        EXPECT_EQ(notes.fallbackNodes, 0u);
    }
    expectValid(weights[0], count);
    const auto bytes = [](const SkinWeights &w) {
        return std::string(reinterpret_cast<const char *>(w.joints8.data()), w.joints8.size()) +
            std::string(reinterpret_cast<const char *>(w.weights.data()), w.weights.size() * sizeof(float));
    };
    EXPECT_TRUE(bytes(weights[1]) == bytes(weights[0]));
}
