// The fixture of the model's tests: the module's logic over a fake host.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "module/model/model.h"
#include "support/fake_host.h"

namespace modeltest {

// The model's tests on the shared fake host (support/fake_host.h), with the
// model's table of curves.
class ModelTest : public ::testing::Test, public testsupport::FakeHost {
  public:
    void SetUp() override;
    void TearDown() override;

    // A curve of `count` fresh points along a slightly turning line.
    PolygonInfo longCurve(int32_t count, const char *surface = "Long");
    // Hands one polygon to collectCurve with the table.
    int32_t collect(const PolygonInfo &polygon);
    // Runs the host's scan over `polygons` as the activation does.
    int32_t scan(const std::vector<PolygonInfo> &polygons);

    // The messages' texts, each expected an error of one line.
    std::vector<std::string> errors() const;

    std::unique_ptr<spindle::CurveTable> owned = std::make_unique<spindle::CurveTable>();
    spindle::CurveTable &table = *owned;
};

// Builds the chains of the model from `table`: linkChains, findLoop (expected
// false) and finishChains with `options`.
void linkAndFinish(spindle::CurveTable &table, const spindle::Options &options, spindle::GoalBoneList &goals);

} // namespace modeltest
