// The fixture of the chain tests: curves collected from fresh points into
// the model's table, with the options and goal-bone list a run passes on.
#pragma once

#include <cmath>
#include <vector>

#include "fake_host.h"

namespace modeltest {

using spindle::BoneSegment;
using spindle::Curve;
using spindle::GoalBoneList;
using spindle::Options;

// A curve whose first point is a control point.
inline constexpr int32_t kControl = HOST_POLY_SELECTED | HOST_POLY_START_CONTROL;

class ChainLinking : public ModelTest {
  public:
    // A selected curve through `points`, collected into the table.
    Curve &add(const std::vector<PointId> &points, const char *name = "Bone", int32_t flags = HOST_POLY_SELECTED) {
        EXPECT_EQ(collect(curve(points, name, flags)), 0);
        return table.curves[table.count - 1];
    }
    // `count` fresh points, each a step further along x with some wobble.
    std::vector<PointId> fresh(int count) {
        std::vector<PointId> ids;
        for (int i = 0; i < count; ++i) {
            const double k = static_cast<double>(positions.size());
            ids.push_back(point(std::sin(k * 1.3) + k, std::cos(k * 0.7) * 2, std::sin(k * 0.4) - 1));
        }
        return ids;
    }
    GoalBoneList goals;
    Options options;
};

// `a` followed by `b`.
inline std::vector<PointId> join(std::vector<PointId> a, const std::vector<PointId> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace modeltest
