// The corner tree: built by splitting at the median along the longer side
// of each node's box, searched down from the last search's way.
#include "standin/geometry/corner_tree.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace standin::geometry::faces {
namespace {

constexpr uint32_t kLeaf = 8; // the most corners in a leaf of the tree

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

} // namespace

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

} // namespace standin::geometry::faces
