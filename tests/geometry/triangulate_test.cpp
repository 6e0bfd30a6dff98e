// Faces cut into triangles: every triangle inside its face, together
// covering it, each turning the face's way.
#include "readers/bytes.h"
#include "standin/geometry/triangulate.h"
#include "standin/readers/read_mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using standin::geometry::triangulate;
using standin::geometry::TriangulationScratch;

namespace {

struct V {
    double x, y, z;
};
V sub(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V cross(V a, V b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V at(const std::vector<float> &points, uint32_t i) { return {points[3 * i], points[3 * i + 1], points[3 * i + 2]}; }

// The face's area vector (half its Newell normal).
V areaVector(const std::vector<float> &points, const std::vector<uint32_t> &face) {
    V n{0, 0, 0};
    for (size_t i = 0; i < face.size(); ++i) {
        const V c = cross(at(points, face[i]), at(points, face[(i + 1) % face.size()]));
        n = {n.x + c.x / 2, n.y + c.y / 2, n.z + c.z / 2};
    }
    return n;
}

// Whether `p`, in the face's plane, lies inside the face (crossing count
// in the plane across the normal's largest axis).
bool inside(const std::vector<float> &points, const std::vector<uint32_t> &face, V normal, V p) {
    const int drop = std::fabs(normal.x) > std::fabs(normal.y) && std::fabs(normal.x) > std::fabs(normal.z) ? 0
        : std::fabs(normal.y) > std::fabs(normal.z)                                                         ? 1
                                                                                                            : 2;
    auto uv = [drop](V v) {
        return drop == 0 ? std::pair{v.y, v.z} : drop == 1 ? std::pair{v.z, v.x} : std::pair{v.x, v.y};
    };
    const auto [px, py] = uv(p);
    bool in = false;
    for (size_t i = 0, j = face.size() - 1; i < face.size(); j = i++) {
        const auto [ax, ay] = uv(at(points, face[i]));
        const auto [bx, by] = uv(at(points, face[j]));
        if ((ay > py) != (by > py) && px < (bx - ax) * (py - ay) / (by - ay) + ax)
            in = !in;
    }
    return in;
}

// Cuts `face` and checks the cut: n - 2 triangles of its points, none
// turning against the face, each one's middle inside the face, their areas
// summing to the face's.
void expectCut(const std::vector<float> &points, const std::vector<uint32_t> &face, const std::string &what) {
    SCOPED_TRACE(what);
    TriangulationScratch scratch;
    std::vector<uint32_t> out(3 * (face.size() - 2), UINT32_MAX);
    triangulate(points.data(), face.data(), face.size(), out.data(), scratch);
    const V area = areaVector(points, face);
    const double total = std::sqrt(dot(area, area));
    double sum = 0;
    for (size_t t = 0; t < out.size(); t += 3) {
        for (size_t k = 0; k < 3; ++k)
            ASSERT_NE(std::find(face.begin(), face.end(), out[t + k]), face.end());
        const V a = at(points, out[t]), b = at(points, out[t + 1]), c = at(points, out[t + 2]);
        const double signedArea = dot(cross(sub(b, a), sub(c, a)), area) / (2 * total);
        EXPECT_GE(signedArea, -1e-9 * total) << "triangle " << t / 3 << " turns against the face";
        sum += signedArea;
        if (signedArea > 1e-9 * total) {
            const V middle{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
            EXPECT_TRUE(inside(points, face, area, middle)) << "triangle " << t / 3 << " outside the face";
        }
    }
    EXPECT_NEAR(sum, total, 1e-6 * total);
}

} // namespace

TEST(Triangulate, cutsEveryCorpusFaceWithinItself) {
    for (const char *name : {"concave_polygon.lwo", "LWOB_ConcavePolygon.lwo", "simple_cube.lwo"}) {
        standin::Mesh mesh;
        std::string reason;
        ASSERT_TRUE(standin::readMesh(std::string(SPINDLE_TEST_DATA) + "/" + name, mesh, reason)) << reason;
        for (size_t l = 0; l < mesh.layers.size(); ++l) {
            std::vector<float> points;
            for (size_t i = 0; i < mesh.layers[l].pointCount; ++i)
                for (double c : mesh.point(l, i))
                    points.push_back(float(c));
            size_t faces = 0;
            for (const standin::PolygonData &p : mesh.polygons(l))
                if (p.type == readertest::kFace && p.points.size() >= 3) {
                    expectCut(points, p.points, std::string(name) + " face " + std::to_string(faces));
                    ++faces;
                }
            EXPECT_GT(faces, 0u) << name;
        }
    }
}

TEST(Triangulate, cutsConcaveAndAwkwardFacesWithinThemselves) {
    // A comb in the plane z = 1 with its teeth down, a tilted copy of it, a
    // concave quad (an arrowhead) from each corner, a face with a repeated
    // point and a straight run, and a clockwise one.
    std::vector<float> comb = {0, 0, 1, 5, 0, 1, 5, 3, 1, 4, 3, 1, 4, 1, 1, 3, 1, 1,
                               3, 3, 1, 2, 3, 1, 2, 1, 1, 1, 1, 1, 1, 3, 1, 0, 3, 1};
    std::vector<uint32_t> combFace = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    expectCut(comb, combFace, "comb");
    std::vector<float> tilted;
    for (size_t i = 0; i < comb.size(); i += 3)
        tilted.insert(tilted.end(),
                      {comb[i], 0.6f * comb[i + 1] + 0.8f * comb[i + 2], 0.8f * comb[i + 1] - 0.6f * comb[i + 2]});
    expectCut(tilted, combFace, "tilted comb");
    std::vector<uint32_t> backwards(combFace.rbegin(), combFace.rend());
    expectCut(comb, backwards, "clockwise comb");

    const std::vector<float> arrow = {0, 0, 0, 2, 1, 0, 0, 2, 0, 0.5f, 1, 0};
    for (uint32_t k = 0; k < 4; ++k)
        expectCut(arrow, {k, (k + 1) % 4, (k + 2) % 4, (k + 3) % 4}, "arrowhead from " + std::to_string(k));

    const std::vector<float> awkward = {0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0, 3, 2, 0, 1.5f, 0.5f, 0, 0, 2, 0};
    expectCut(awkward, {0, 1, 1, 2, 3, 4, 5, 6, 6}, "repeated point and straight run");
}

TEST(Triangulate, splitsConvexQuadsAlongTheShorterDiagonal) {
    // A kite whose 1-3 diagonal is the shorter.
    const std::vector<float> kite = {0, 0, 0, 1, -0.5f, 0, 4, 0, 0, 1, 0.5f, 0};
    const std::vector<uint32_t> face = {0, 1, 2, 3};
    TriangulationScratch scratch;
    uint32_t out[6];
    triangulate(kite.data(), face.data(), 4, out, scratch);
    EXPECT_EQ(std::vector<uint32_t>(out, out + 6), (std::vector<uint32_t>{1, 2, 3, 1, 3, 0}));
}
