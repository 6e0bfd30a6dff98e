// Triangulation of faces: the quick cases, then ear clipping.
#include "standin/geometry/triangulate.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <limits>

namespace standin::geometry {
namespace {

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

void put(uint32_t *&out, uint32_t a, uint32_t b, uint32_t c) {
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out += 3;
}

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

// Twice the signed area of the projected triangle a b c: positive when it
// turns the way the face does.
double turn(const TriangulationScratch &s, uint32_t a, uint32_t b, uint32_t c) {
    const double ua = s.u[a], va = s.v[a];
    return (s.u[b] - ua) * (s.v[c] - va) - (s.v[b] - va) * (s.u[c] - ua);
}

bool samePlace(const TriangulationScratch &s, uint32_t a, uint32_t b) { return s.u[a] == s.u[b] && s.v[a] == s.v[b]; }

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

// A large face: its corners in a search tree, its ears from a queue.

constexpr uint32_t kLeaf = 8; // the most corners in a leaf of the tree
// No corner: `next` of a corner cut off, `place` of a corner not in the
// tree, `number` of a corner of the tree cut off.
constexpr uint32_t kNone = UINT32_MAX;

// The tree is implicit: node k holds the corners s.corners[low .. high),
// and unless it is a leaf (at most kLeaf of them), its children 2k + 1 and
// 2k + 2 hold those below middle(low, high) and those from it.
uint32_t middle(uint32_t low, uint32_t high) { return low + (high - low) / 2; }

using Node = TriangulationScratch::Node;
using Corner = TriangulationScratch::Corner;

void buildNode(TriangulationScratch &s, size_t k, uint32_t low, uint32_t high) {
    const Corner *c = s.corners.data();
    Node &node = s.nodes[k];
    node = {c[low].u, c[low].v, c[low].u, c[low].v, 0, high - low, false};
    for (uint32_t i = low + 1; i < high; ++i) {
        node.lowU = std::min(node.lowU, c[i].u);
        node.lowV = std::min(node.lowV, c[i].v);
        node.highU = std::max(node.highU, c[i].u);
        node.highV = std::max(node.highV, c[i].v);
    }
    if (high - low <= kLeaf)
        return;
    // Split across the longer side, at the median (ties by number): the
    // first child's corners lie at or below the split, the second's at or
    // above it.
    const uint32_t mid = middle(low, high);
    const auto begin = s.corners.begin();
    node.alongV = double(node.highV) - node.lowV > double(node.highU) - node.lowU;
    if (node.alongV)
        std::nth_element(begin + low, begin + mid, begin + high,
                         [](const Corner &a, const Corner &b) { return a.v != b.v ? a.v < b.v : a.number < b.number; });
    else
        std::nth_element(begin + low, begin + mid, begin + high,
                         [](const Corner &a, const Corner &b) { return a.u != b.u ? a.u < b.u : a.number < b.number; });
    node.split = node.alongV ? c[mid].v : c[mid].u;
    buildNode(s, 2 * k + 1, low, mid);
    buildNode(s, 2 * k + 2, mid, high);
}

// The tree of the corners that are not convex (see clipLargeFace).
void buildTree(TriangulationScratch &s, uint32_t n) {
    s.corners.clear();
    s.corners.reserve(n); // the pages that are never written are never taken
    s.place.assign(n, kNone);
    for (uint32_t i = 0; i < n; ++i)
        if (!(turn(s, s.prev[i], i, s.next[i]) > 0))
            s.corners.push_back({s.u[i], s.v[i], i});
    const uint32_t size = uint32_t(s.corners.size());
    size_t nodes = 1;
    for (uint64_t count = size; count > kLeaf; count = (count + 1) / 2)
        nodes = 2 * nodes + 1;
    s.nodes.resize(nodes);
    if (size > 0)
        buildNode(s, 0, 0, size);
    for (uint32_t i = 0; i < size; ++i)
        s.place[s.corners[i].number] = i;
}

// Takes a corner cut off out of the tree, if it is there: out of its
// leaf, and out of the count of every node above it.
void takeOutOfTree(TriangulationScratch &s, uint32_t corner) {
    const uint32_t at = s.place[corner];
    if (at == kNone)
        return;
    s.corners[at].number = kNone;
    size_t k = 0;
    for (uint32_t low = 0, high = uint32_t(s.corners.size());;) {
        --s.nodes[k].left;
        if (high - low <= kLeaf)
            return;
        const uint32_t mid = middle(low, high);
        if (at < mid)
            k = 2 * k + 1, high = mid;
        else
            k = 2 * k + 2, low = mid;
    }
}

// A candidate ear's triangle a b c, as the tree's search looks at it.
struct Triangle {
    double u[3], v[3];
    double lowU, lowV, highU, highV;

    // The same as turn for the side from corner i to corner i + 1 and the
    // place (pu, pv).
    double side(int i, double pu, double pv) const {
        const int j = (i + 1) % 3;
        return (u[j] - u[i]) * (pv - v[i]) - (v[j] - v[i]) * (pu - u[i]);
    }
    // Whether the node's box lies wholly outside the triangle's box, or
    // strictly outside one of its sides.
    bool apart(const Node &box) const {
        if (box.highU < lowU || box.lowU > highU || box.highV < lowV || box.lowV > highV)
            return true;
        for (int i = 0; i < 3; ++i)
            if (side(i, box.lowU, box.lowV) < 0 && side(i, box.highU, box.lowV) < 0 &&
                side(i, box.lowU, box.highV) < 0 && side(i, box.highU, box.highV) < 0)
                return true;
        return false;
    }
    // The same as blocks.
    bool holds(double pu, double pv) const {
        for (int i = 0; i < 3; ++i)
            if (pu == u[i] && pv == v[i])
                return false;
        return side(0, pu, pv) >= 0 && side(1, pu, pv) >= 0 && side(2, pu, pv) >= 0;
    }
};

// The way down the tree to the last search's first node: each node on it
// with its corners and its cell, the part of the plane where every corner
// lies that is below it and no corner that is not (its ancestors' splits,
// open; infinite at the root).
struct TreePath {
    struct Step {
        size_t k;
        uint32_t low, high;
        double lowU, lowV, highU, highV;
    };
    Step at[64]; // the tree is at most 30 deep
    size_t depth = 0;
};

// The same as isEar, looking only into the nodes of the tree whose boxes
// the triangle can reach; each node and each corner looked at is a step.
bool isEarInTree(const TriangulationScratch &s, uint32_t a, uint32_t b, uint32_t c, TreePath &path, uint64_t &steps) {
    if (!(turn(s, a, b, c) > 0))
        return false;
    if (s.corners.empty())
        return true;
    Triangle t{{s.u[a], s.u[b], s.u[c]}, {s.v[a], s.v[b], s.v[c]}, 0, 0, 0, 0};
    t.lowU = std::min({t.u[0], t.u[1], t.u[2]});
    t.highU = std::max({t.u[0], t.u[1], t.u[2]});
    t.lowV = std::min({t.v[0], t.v[1], t.v[2]});
    t.highV = std::max({t.v[0], t.v[1], t.v[2]});
    // The search starts at the lowest node whose cell holds the triangle's
    // box: up the last search's way while the box is not inside, then down
    // while it lies on one side of the node's split.
    if (path.depth == 0) {
        constexpr double kInfinity = std::numeric_limits<double>::infinity();
        path.at[0] = {0, 0, uint32_t(s.corners.size()), -kInfinity, -kInfinity, kInfinity, kInfinity};
        path.depth = 1;
    }
    size_t d = path.depth - 1;
    for (;; --d) {
        const TreePath::Step &cell = path.at[d];
        if (d == 0 || (cell.lowU < t.lowU && t.highU < cell.highU && cell.lowV < t.lowV && t.highV < cell.highV))
            break;
    }
    for (;;) {
        const TreePath::Step &step = path.at[d];
        if (step.high - step.low <= kLeaf)
            break;
        const Node &node = s.nodes[step.k];
        const uint32_t mid = middle(step.low, step.high);
        TreePath::Step &below = path.at[d + 1];
        below = step;
        if ((node.alongV ? t.highV : t.highU) < node.split) {
            below.k = 2 * step.k + 1;
            below.high = mid;
            (node.alongV ? below.highV : below.highU) = node.split;
        } else if ((node.alongV ? t.lowV : t.lowU) > node.split) {
            below.k = 2 * step.k + 2;
            below.low = mid;
            (node.alongV ? below.lowV : below.lowU) = node.split;
        } else {
            break;
        }
        ++d;
        ++steps;
    }
    path.depth = d + 1;
    struct Visit {
        size_t k;
        uint32_t low, high;
    };
    Visit stack[64]; // the tree is at most 30 deep, and each level leaves one node waiting
    size_t depth = 0;
    stack[depth++] = {path.at[d].k, path.at[d].low, path.at[d].high};
    while (depth > 0) {
        const Visit visit = stack[--depth];
        ++steps;
        const Node &node = s.nodes[visit.k];
        if (node.left == 0 || t.apart(node))
            continue;
        if (visit.high - visit.low > kLeaf) {
            const uint32_t mid = middle(visit.low, visit.high);
            stack[depth++] = {2 * visit.k + 2, mid, visit.high};
            stack[depth++] = {2 * visit.k + 1, visit.low, mid};
            continue;
        }
        for (uint32_t i = visit.low; i < visit.high; ++i) {
            const Corner &p = s.corners[i];
            ++steps;
            if (p.number != kNone && t.holds(p.u, p.v))
                return false;
        }
    }
    return true;
}

// The queue of corners to test, first in first out, as a list through
// s.waitPrev and s.waitNext (kNone: not in it) from s.waitFirst to s.waitLast.
void enqueue(TriangulationScratch &s, uint32_t corner) {
    if (s.waitPrev[corner] != kNone || s.waitFirst == corner) {
        // Waiting already: moved to the back.
        if (s.waitLast == corner)
            return;
        (s.waitFirst == corner ? s.waitFirst : s.waitNext[s.waitPrev[corner]]) = s.waitNext[corner];
        s.waitPrev[s.waitNext[corner]] = s.waitPrev[corner];
    }
    s.waitPrev[corner] = s.waitLast;
    s.waitNext[corner] = kNone;
    (s.waitLast == kNone ? s.waitFirst : s.waitNext[s.waitLast]) = corner;
    s.waitLast = corner;
}

uint32_t dequeue(TriangulationScratch &s) {
    const uint32_t corner = s.waitFirst;
    s.waitFirst = s.waitNext[corner];
    (s.waitFirst == kNone ? s.waitLast : s.waitPrev[s.waitFirst]) = kNone;
    s.waitPrev[corner] = s.waitNext[corner] = kNone;
    return corner;
}

// Ear clipping of a large face, its corners projected into s.u and s.v and
// ringed in s.prev and s.next.  In a face that does not cross itself, a
// corner's triangle that holds any corner holds a reflex one (of those it
// holds, the one furthest from the side opposite the corner), and a cut
// makes no corner reflex (it narrows its neighbours' angles): so the ears
// are tested against the corners that were not convex at the start alone,
// which is all the tree holds, and cutting an ear changes whether a corner
// is an ear only for its two neighbours, which alone go back into the
// queue.  Only when the queue runs dry (a face that crosses itself) are all
// the corners left tested again.
void clipLargeFace(const uint32_t *face, uint32_t n, uint32_t *&out, TriangulationScratch &s) {
    buildTree(s, n);
    s.waitPrev.assign(n, kNone);
    s.waitNext.resize(n);
    s.waitFirst = s.waitLast = kNone;
    for (uint32_t i = 0; i < n; ++i)
        enqueue(s, i);
    const auto cut = [&](uint32_t b) {
        const uint32_t a = s.prev[b], c = s.next[b];
        put(out, face[a], face[b], face[c]);
        s.next[a] = c;
        s.prev[c] = a;
        s.next[b] = kNone;
        takeOutOfTree(s, b);
        enqueue(s, a);
        enqueue(s, c);
    };
    uint32_t left = n, corner = 0; // `corner`: one not cut off, where a fan would start
    const uint64_t budget = kStepsPerCorner * uint64_t(n) * uint64_t(std::bit_width(n));
    uint64_t steps = 0;
    TreePath path;
    bool again = false; // the queue held every corner left, and none has been cut since
    while (left > 3 && steps <= budget) {
        if (s.waitFirst != kNone) {
            const uint32_t b = dequeue(s);
            if (s.next[b] == kNone)
                continue; // a flat corner cut off while it waited
            ++steps;
            if (isEarInTree(s, s.prev[b], b, s.next[b], path, steps)) {
                corner = s.next[b];
                cut(b);
                --left;
                again = false;
            }
            continue;
        }
        if (!again) {
            // Every corner left, once more, round the ring from `corner`.
            uint32_t b = corner;
            for (uint32_t k = 0; k < left; ++k, b = s.next[b])
                enqueue(s, b);
            steps += left;
            again = true;
            continue;
        }
        // No ear left: the corners in line with their neighbours are cut
        // off, in one round, and ears are looked for again.
        bool flat = false;
        uint32_t b = corner;
        for (uint32_t k = 0, round = left; k < round && left > 3; ++k) {
            const uint32_t c = s.next[b];
            if (turn(s, s.prev[b], b, c) == 0) {
                corner = c;
                cut(b);
                --left;
                flat = true;
            }
            b = c;
        }
        steps += left;
        if (!flat)
            break; // neither ears nor flat corners
        again = false;
    }
    // The last triangle, or the rest as a fan.
    for (uint32_t b = s.next[corner]; s.next[b] != corner; b = s.next[b])
        put(out, face[corner], face[b], face[s.next[b]]);
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
