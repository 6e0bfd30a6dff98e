// Faces cut into triangles: every triangle inside its face, together
// covering it, each turning the face's way.
#include "readers/bytes.h"
#include "standin/geometry/triangulate.h"
#include "standin/readers/read_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>
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

TEST(Triangulate, cutsLargeFacesIntoTrianglesThatTileThem) {
    // Faces past the small ones' way of cutting (a convex one, a star, a
    // comb and a spiral strip, every point a float): n - 2 triangles, none
    // turning against the face, whose sides add up to the face's own
    // outline, every inner side once each way.  Together these mean that the
    // triangles cover the face once over, and nothing outside it.
    const uint32_t n = 100000;
    std::vector<std::pair<std::string, std::vector<float>>> faces(4);
    constexpr double kTurn = 2 * 3.14159265358979323846;
    for (uint32_t i = 0; i < n; ++i) {
        const double a = kTurn * i / n, r = i % 2 ? 0.5 : 1.0;
        faces[0].second.insert(faces[0].second.end(), {float(std::cos(a)), float(std::sin(a)), 0});
        faces[1].second.insert(faces[1].second.end(), {float(r * std::cos(a)), float(r * std::sin(a)), 0});
    }
    // The comb: its spine along y = -1, then its teeth from right to left.
    const uint32_t teeth = n / 4 - 1;
    faces[2].second = {0, -1, 0, float(2 * teeth), -1, 0};
    for (uint32_t t = teeth; t-- > 0;) {
        const float x = float(2 * t);
        faces[2].second.insert(faces[2].second.end(), {x + 1.5f, 0, 0, x + 1.5f, 1, 0, x + 0.5f, 1, 0, x + 0.5f, 0, 0});
    }
    faces[2].second.insert(faces[2].second.end(), {0, 0, 0, 0, -0.5f, 0});
    // The spiral: five turns out along one side of the strip, back along the
    // other, tilted out of every axis's plane.
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t k = i < n / 2 ? i : n - 1 - i;
        const double t = double(k) / (n / 2 - 1), a = 5 * kTurn * t, r = (i < n / 2 ? 1 : 0.6) + 5 * t;
        const double x = r * std::cos(a), y = r * std::sin(a);
        faces[3].second.insert(faces[3].second.end(), {float(0.8 * x), float(0.6 * x + 0.48 * y), float(0.64 * y)});
    }
    faces[0].first = "convex", faces[1].first = "star", faces[2].first = "comb", faces[3].first = "spiral";

    TriangulationScratch scratch;
    for (const auto &[name, points] : faces) {
        SCOPED_TRACE(name);
        std::vector<uint32_t> face(points.size() / 3);
        for (uint32_t i = 0; i < face.size(); ++i)
            face[i] = i;
        ASSERT_GT(face.size(), standin::geometry::kSmallFace);
        std::vector<uint32_t> out(3 * (face.size() - 2), UINT32_MAX);
        triangulate(points.data(), face.data(), face.size(), out.data(), scratch);
        const V area = areaVector(points, face);
        const double total = std::sqrt(dot(area, area));
        // Each triangle's sides, counted +1 one way and -1 the other.
        std::map<std::pair<uint32_t, uint32_t>, int> sides;
        const auto side = [&sides](uint32_t a, uint32_t b) {
            if (a < b)
                ++sides[{a, b}];
            else
                --sides[{b, a}];
        };
        size_t against = 0;
        for (size_t t = 0; t < out.size(); t += 3) {
            ASSERT_LT(std::max({out[t], out[t + 1], out[t + 2]}), face.size());
            const V a = at(points, out[t]), b = at(points, out[t + 1]), c = at(points, out[t + 2]);
            // As in expectCut: the tilted face's points, rounded to floats,
            // are not quite in one plane.
            if (dot(cross(sub(b, a), sub(c, a)), area) / (2 * total) < -1e-9 * total)
                ++against;
            side(out[t], out[t + 1]);
            side(out[t + 1], out[t + 2]);
            side(out[t + 2], out[t]);
        }
        EXPECT_EQ(against, 0u) << "triangles turning against the face";
        for (uint32_t i = 0; i < face.size(); ++i)
            side(face[(i + 1) % face.size()], face[i]); // the outline, taken away
        size_t unmatched = 0;
        for (const auto &[pair, count] : sides)
            unmatched += count != 0;
        EXPECT_EQ(unmatched, 0u) << "sides that are neither the outline nor shared by two triangles";
    }
}
