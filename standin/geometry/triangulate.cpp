// Triangulation of faces: the quick cases, then ear clipping.
#include "standin/geometry/triangulate.h"

#include "standin/geometry/face_corners.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <limits>

namespace standin::geometry {
namespace {

using faces::clipLargeFace;
using faces::put;
using faces::samePlace;
using faces::turn;

struct Vec {
    double x, y, z;
};

Vec at(const float *points, uint32_t index) {
    const float *p = points + 3 * size_t(index);
    return {p[0], p[1], p[2]};
}
Vec minus(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void quad(const float *points, const uint32_t *face, uint32_t *out) {
    const Vec p[4] = {at(points, face[0]), at(points, face[1]), at(points, face[2]), at(points, face[3])};
    // Twice the quad's area vector: the cross product of its diagonals.
    const Vec normal = cross(minus(p[2], p[0]), minus(p[3], p[1]));
    int reflex = -1, reflexCount = 0;
    for (int k = 0; k < 4; ++k) {
        const Vec in = minus(p[k], p[(k + 3) % 4]), outEdge = minus(p[(k + 1) % 4], p[k]);
        if (!(dot(cross(in, outEdge), normal) > 0)) {
            reflex = k;
            ++reflexCount;
        }
    }
    int k = 0;
    if (reflexCount == 1) {
        k = reflex;
    } else {
        const Vec d02 = minus(p[2], p[0]), d13 = minus(p[3], p[1]);
        k = dot(d02, d02) <= dot(d13, d13) ? 0 : 1;
    }
    put(out, face[k], face[(k + 1) % 4], face[(k + 2) % 4]);
    put(out, face[k], face[(k + 2) % 4], face[(k + 3) % 4]);
}

// Whether corner b, between a and c, is an ear: convex, and no other corner
// left lies in its triangle or on its sides (a corner at the same place as
// one of the three does not count).
bool isEar(const TriangulationScratch &s, uint32_t a, uint32_t b, uint32_t c, uint64_t &tests) {
    if (!(turn(s, a, b, c) > 0))
        return false;
    for (uint32_t p = s.next[c]; p != a; p = s.next[p]) {
        ++tests;
        if (samePlace(s, p, a) || samePlace(s, p, b) || samePlace(s, p, c))
            continue;
        if (turn(s, a, b, p) >= 0 && turn(s, b, c, p) >= 0 && turn(s, c, a, p) >= 0)
            return false;
    }
    return true;
}

void clipEars(const float *points, const uint32_t *face, uint32_t n, uint32_t *out, TriangulationScratch &s) {
    // The Newell normal; the face is projected along its largest axis,
    // turned so that the face runs counter-clockwise in the projection.
    Vec normal{0, 0, 0};
    for (uint32_t i = 0; i < n; ++i) {
        const Vec a = at(points, face[i]), b = at(points, face[(i + 1) % n]);
        normal.x += (a.y - b.y) * (a.z + b.z);
        normal.y += (a.z - b.z) * (a.x + b.x);
        normal.z += (a.x - b.x) * (a.y + b.y);
    }
    const double ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
    if (!(ax + ay + az > 0) || !std::isfinite(ax + ay + az)) {
        for (uint32_t i = 1; i + 1 < n; ++i)
            put(out, face[0], face[i], face[i + 1]);
        return;
    }
    // u, v: the two other axes, in the order that makes the largest one
    // point towards the viewer.
    int iu = 0, iv = 1;
    double sign = normal.z;
    if (ax >= ay && ax >= az) {
        iu = 1, iv = 2, sign = normal.x;
    } else if (ay >= az) {
        iu = 2, iv = 0, sign = normal.y;
    }
    if (sign < 0)
        std::swap(iu, iv);
    s.u.resize(n);
    s.v.resize(n);
    s.prev.resize(n);
    s.next.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        const float *p = points + 3 * size_t(face[i]);
        s.u[i] = p[iu];
        s.v[i] = p[iv];
        s.prev[i] = (i + n - 1) % n;
        s.next[i] = (i + 1) % n;
    }
    if (n > kSmallFace) {
        clipLargeFace(face, n, out, s);
        return;
    }
    auto cut = [&](uint32_t b) {
        const uint32_t a = s.prev[b], c = s.next[b];
        put(out, face[a], face[b], face[c]);
        s.next[a] = c;
        s.prev[c] = a;
    };
    uint32_t left = n, corner = 0, tried = 0;
    // A face that crosses itself over and over can make each ear take a
    // round of the ring; past this many tests the rest is cut as a fan.
    uint64_t tests = 0;
    const uint64_t budget = 8 * uint64_t(n) * n;
    bool flatOnly = false; // a full round found no ear: flat corners are cut next
    while (left > 3 && tests <= budget) {
        const uint32_t a = s.prev[corner], c = s.next[corner];
        const bool take = flatOnly ? turn(s, a, corner, c) == 0 : isEar(s, a, corner, c, tests);
        if (take) {
            cut(corner);
            --left;
            corner = c;
            tried = 0;
            flatOnly = false;
            continue;
        }
        corner = c;
        if (++tried < left)
            continue;
        tried = 0;
        if (!flatOnly) {
            flatOnly = true;
            continue;
        }
        break; // neither ears nor flat corners
    }
    // The last triangle, or the rest as a fan.
    for (uint32_t b = s.next[corner]; s.next[b] != corner; b = s.next[b])
        put(out, face[corner], face[b], face[s.next[b]]);
}

} // namespace

void triangulate(const float *points, const uint32_t *face, size_t count, uint32_t *out,
                 TriangulationScratch &scratch) {
    assert(count >= 3 && count <= UINT32_MAX);
    if (count == 3)
        put(out, face[0], face[1], face[2]);
    else if (count == 4)
        quad(points, face, out);
    else
        clipEars(points, face, uint32_t(count), out, scratch);
}

} // namespace standin::geometry
