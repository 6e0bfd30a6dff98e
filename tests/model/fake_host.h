// A stand-in for the host services the model reaches: a mesh of numbered
// points with a polygon list, and a message log.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "module/model/model.h"

namespace modeltest {

struct Message {
    bool error;
    std::string text;
    bool hasSecondLine;
    bool operator==(const Message &) const = default;
};

// Installs itself into spindle::host for the length of a test.
class ModelTest : public ::testing::Test {
  public:
    void SetUp() override;
    void TearDown() override;

    // A new point at (x, y, z); its id is distinct from every other point's.
    PointId point(double x, double y, double z);
    // A point that pointInfo knows nothing about.
    PointId unknownPoint();
    // A polygon record over `points`; the lists stay alive for the test.
    PolygonInfo curve(const std::vector<PointId> &points, const char *surface = "Bone",
                      int32_t flags = HOST_POLY_SELECTED, uint32_t type = HOST_POLY_CURVE);
    // A curve of `count` fresh points along a slightly turning line.
    PolygonInfo longCurve(int32_t count, const char *surface = "Long");
    // Hands one polygon to collectCurve with the table.
    int32_t collect(const PolygonInfo &polygon);
    // Runs the host's scan over `polygons` as the activation does.
    int32_t scan(const std::vector<PolygonInfo> &polygons);

    std::vector<std::string> errors() const;

    std::unique_ptr<spindle::CurveTable> owned = std::make_unique<spindle::CurveTable>();
    spindle::CurveTable &table = *owned;
    std::vector<std::array<double, 3>> positions;
    std::deque<std::vector<PointId>> pointLists;
    std::vector<Message> messages;
    const std::vector<PolygonInfo> *scanList = nullptr;
    PointInfo record{};
    MessageServices messageServices{};
    MeshEditOp meshEdit{};
};

// Builds the chains of the model from `table`: linkChains, findLoop (expected
// false) and finishChains with `options`.
void linkAndFinish(spindle::CurveTable &table, const spindle::Options &options, spindle::GoalBoneList &goals);

} // namespace modeltest
