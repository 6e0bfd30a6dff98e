// The bounding volume hierarchy over the bones' segments and the
// nearest-four search through it.
#include "standin/geometry/segment_tree.h"

#include <algorithm>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <limits>

namespace standin::geometry {
namespace {

using Segment = SegmentTree::Segment;
using Box = SegmentTree::Box;

constexpr uint32_t kLeafSize = 4;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The squared distance from `box` to the box lo..hi (a point when lo ==
// hi): no point of the one is nearer any point of the other.
double boxDistance2(const Box &box, const double lo[3], const double hi[3]) {
    double sum = 0;
    for (int a = 0; a < 3; ++a) {
        const double d = std::max({box.lo[a] - hi[a], lo[a] - box.hi[a], 0.0});
        sum += d * d;
    }
    return sum;
}

bool holds(const Nearest &n, uint32_t bone) {
    for (uint32_t i = 0; i < n.count; ++i)
        if (n.bone[i] == bone)
            return true;
    return false;
}

// How far a box may be and still hold one of the nearest four.
double reach(const Nearest &n, double slack) {
    if (n.count < 4)
        return kInfinity;
    const double r = std::sqrt(n.distance2[3]) + slack;
    return r * r;
}

// Calls visit(segment place) for every segment in a leaf whose box is
// within `limit()` of the box lo..hi, nearer boxes first.
template <typename Limit, typename Visit>
void walk(const SegmentTree &tree, const double lo[3], const double hi[3], Limit &&limit, Visit &&visit) {
    if (tree.boxes.empty())
        return;
    struct Entry {
        uint32_t box;
        double d;
    };
    Entry stack[128];
    size_t top = 0;
    stack[top++] = {0, boxDistance2(tree.boxes[0], lo, hi)};
    while (top > 0) {
        const Entry e = stack[--top];
        if (e.d > limit())
            continue;
        const Box &box = tree.boxes[e.box];
        if (box.count > 0) {
            for (uint32_t i = box.first; i < box.first + box.count; ++i)
                visit(i);
            continue;
        }
        const uint32_t a = box.first, b = box.first + 1;
        const double da = boxDistance2(tree.boxes[a], lo, hi), db = boxDistance2(tree.boxes[b], lo, hi);
        assert(top + 2 <= 128);
        // The nearer child on top, to be searched first.
        if (da <= db) {
            stack[top++] = {b, db};
            stack[top++] = {a, da};
        } else {
            stack[top++] = {a, da};
            stack[top++] = {b, db};
        }
    }
}

// Builds box `at` over segments first..end, in place.
void build(SegmentTree &tree, uint32_t at, uint32_t first, uint32_t end) {
    Box box;
    for (int a = 0; a < 3; ++a) {
        box.lo[a] = kInfinity;
        box.hi[a] = -kInfinity;
    }
    double midLo[3] = {kInfinity, kInfinity, kInfinity}, midHi[3] = {-kInfinity, -kInfinity, -kInfinity};
    for (uint32_t i = first; i < end; ++i) {
        const Segment &s = tree.segments[i];
        for (int a = 0; a < 3; ++a) {
            const double tip = s.base[a] + s.along[a], mid = s.base[a] + 0.5 * s.along[a];
            box.lo[a] = std::min({box.lo[a], s.base[a], tip});
            box.hi[a] = std::max({box.hi[a], s.base[a], tip});
            midLo[a] = std::min(midLo[a], mid);
            midHi[a] = std::max(midHi[a], mid);
        }
    }
    if (end - first <= kLeafSize) {
        box.first = first;
        box.count = end - first;
        tree.boxes[at] = box;
        return;
    }
    int axis = 0;
    for (int a = 1; a < 3; ++a)
        if (midHi[a] - midLo[a] > midHi[axis] - midLo[axis])
            axis = a;
    const auto mid = [axis](const Segment &s) { return s.base[axis] + 0.5 * s.along[axis]; };
    std::sort(tree.segments.begin() + first, tree.segments.begin() + end, [&](const Segment &x, const Segment &y) {
        return mid(x) < mid(y) || (mid(x) == mid(y) && x.bone < y.bone);
    });
    box.first = uint32_t(tree.boxes.size());
    box.count = 0;
    tree.boxes[at] = box;
    tree.boxes.resize(tree.boxes.size() + 2);
    const uint32_t half = first + (end - first) / 2;
    build(tree, box.first, first, half);
    build(tree, box.first + 1, half, end);
}

} // namespace

SegmentTree segmentTree(const std::vector<SkinBone> &bones) {
    assert(bones.size() < UINT32_MAX);
    SegmentTree tree;
    tree.segments.reserve(bones.size());
    for (const SkinBone &bone : bones) {
        Segment s;
        double length2 = 0;
        for (int a = 0; a < 3; ++a) {
            s.base[a] = bone.base[a];
            s.along[a] = double(bone.tip[a]) - double(bone.base[a]);
            length2 += s.along[a] * s.along[a];
            tree.extent = std::max({tree.extent, std::fabs(double(bone.base[a])), std::fabs(double(bone.tip[a]))});
        }
        s.inverse = length2 > 0 ? 1 / length2 : 0;
        s.bone = uint32_t(tree.segments.size());
        tree.segments.push_back(s);
        tree.joints.push_back(bone.joint);
    }
    if (!bones.empty()) {
        tree.boxes.reserve(2 * bones.size());
        tree.boxes.resize(1);
        build(tree, 0, 0, uint32_t(bones.size()));
    }
    tree.placeOf.resize(bones.size());
    for (uint32_t i = 0; i < tree.segments.size(); ++i)
        tree.placeOf[tree.segments[i].bone] = i;
    return tree;
}

Nearest nearestBones(const SegmentTree &tree, const double p[3], const Nearest *seed) {
    Nearest n;
    const double slack = searchSlack(tree, p, p);
    if (seed)
        for (uint32_t i = 0; i < seed->count; ++i)
            offerBone(n, segmentDistance2(tree.segments[tree.placeOf[seed->bone[i]]], p), seed->bone[i]);
    double limit = reach(n, slack);
    walk(
        tree, p, p, [&] { return limit; },
        [&](uint32_t place) {
            const Segment &s = tree.segments[place];
            if (seed && holds(n, s.bone))
                return;
            offerBone(n, segmentDistance2(s, p), s.bone);
            limit = reach(n, slack);
        });
    return n;
}

Nearest nearestByBruteForce(const SegmentTree &tree, const double p[3]) {
    Nearest n;
    for (const Segment &s : tree.segments)
        offerBone(n, segmentDistance2(s, p), s.bone);
    return n;
}

// The rounding of segmentDistance2 and the boxes' distances is far below
// this share of the coordinates' size; a box is passed over only when it is
// further than the bound by more than that.
double searchSlack(const SegmentTree &tree, const double lo[3], const double hi[3]) {
    double size = tree.extent;
    for (int a = 0; a < 3; ++a)
        size = std::max({size, std::fabs(lo[a]), std::fabs(hi[a])});
    return 1e-12 * size;
}

void segmentsNear(const SegmentTree &tree, const double lo[3], const double hi[3], double limit2,
                  std::vector<uint32_t> &places) {
    places.clear();
    walk(
        tree, lo, hi, [limit2] { return limit2; },
        [&](uint32_t place) {
            // The segment's own box, tighter than its leaf's.
            const Segment &seg = tree.segments[place];
            double d2 = 0;
            for (int a = 0; a < 3; ++a) {
                const double tip = seg.base[a] + seg.along[a];
                const double d =
                    std::max({std::min(seg.base[a], tip) - hi[a], lo[a] - std::max(seg.base[a], tip), 0.0});
                d2 += d * d;
            }
            if (d2 <= limit2)
                places.push_back(place);
        });
}

} // namespace standin::geometry
