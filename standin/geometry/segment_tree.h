// The bones' segments in a bounding volume hierarchy, and the search for
// the four bones nearest a point.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace standin::geometry {

// A deforming bone: the segment from its base to its tip, in the frame of
// the vertices, and its number among the skin's joints.
struct SkinBone {
    std::array<float, 3> base{}, tip{};
    uint16_t joint = 0;
};

// The segments in a bounding volume hierarchy: binary, split at the median
// of the longest axis of the segments' midpoints, leaves of up to four.
struct SegmentTree {
    struct Box {
        double lo[3], hi[3]; // the box around its segments
        uint32_t first = 0;  // leaf: its first segment; inner box: its first child (the second follows)
        uint32_t count = 0;  // leaf: its segments; inner box: 0
    };
    struct Segment {
        double base[3], along[3]; // base, and tip - base
        double inverse = 0;       // 1 / |tip - base|^2, or 0 for a segment of no length
        uint32_t bone = 0;        // its place in the list the tree was built from
    };
    std::vector<Box> boxes;        // the root first; empty when there are no segments
    std::vector<Segment> segments; // in leaf order
    std::vector<uint16_t> joints;  // by place in the list
    std::vector<uint32_t> placeOf; // by place in the list: its place in `segments`
    double extent = 0;             // the largest absolute coordinate of any segment
};

// Builds the tree over `bones` (any number, none included).
SegmentTree segmentTree(const std::vector<SkinBone> &bones);

// The (up to) four nearest bones of one point: by squared distance from the
// point to the segment, nearest first, a tie going to the bone that comes
// first in the list.
struct Nearest {
    uint32_t count = 0;
    uint32_t bone[4] = {};
    double distance2[4] = {};
};

// The squared distance from point `p` to segment `s`.
inline double segmentDistance2(const SegmentTree::Segment &s, const double p[3]) {
    const double wx = p[0] - s.base[0], wy = p[1] - s.base[1], wz = p[2] - s.base[2];
    double t = (wx * s.along[0] + wy * s.along[1] + wz * s.along[2]) * s.inverse;
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    const double ex = wx - t * s.along[0], ey = wy - t * s.along[1], ez = wz - t * s.along[2];
    return ex * ex + ey * ey + ez * ez;
}

// Whether bone `bone` at squared distance `d` comes before the other.
inline bool nearer(double d, uint32_t bone, double otherD, uint32_t otherBone) {
    return d < otherD || (d == otherD && bone < otherBone);
}

// Offers bone `bone` at squared distance `d` to the nearest four `n`.
inline void offerBone(Nearest &n, double d, uint32_t bone) {
    if (n.count == 4 && !nearer(d, bone, n.distance2[3], n.bone[3]))
        return;
    uint32_t i = n.count < 4 ? n.count++ : 3;
    for (; i > 0 && nearer(d, bone, n.distance2[i - 1], n.bone[i - 1]); --i) {
        n.distance2[i] = n.distance2[i - 1];
        n.bone[i] = n.bone[i - 1];
    }
    n.distance2[i] = d;
    n.bone[i] = bone;
}

// The share of a search's bound that covers the rounding of the distances
// between the box lo..hi and the segments of `tree`.
double searchSlack(const SegmentTree &tree, const double lo[3], const double hi[3]);

// The places (in tree.segments) of every segment whose box lies within
// squared distance `limit2` of the box lo..hi, into `places`.
void segmentsNear(const SegmentTree &tree, const double lo[3], const double hi[3], double limit2,
                  std::vector<uint32_t> &places);

// The nearest bones of point `p` through the tree; `seed`, when not null,
// names bones likely to be near (the previous point's), which only speeds
// the search up: the answer is exactly that of nearestByBruteForce.
Nearest nearestBones(const SegmentTree &tree, const double p[3], const Nearest *seed = nullptr);

// The same by testing every segment.
Nearest nearestByBruteForce(const SegmentTree &tree, const double p[3]);

} // namespace standin::geometry
