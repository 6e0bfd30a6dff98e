// The example figure drawn as curves loads as the script describes it.
#include "readers/bytes.h"
#include "support/mesh_check.h"
#include "standin/readers/read_mesh.h"

#include <gtest/gtest.h>

using namespace readertest;
using standin::Mesh;

TEST(ExampleFigure, loadsItsCurvesBranchesAndGroundSquare) {
    Mesh m;
    std::string reason;
    ASSERT_TRUE(standin::readMesh(std::string(SPINDLE_EXAMPLES) + "/figure.lwo", m, reason)) << reason;
    ASSERT_EQ(m.layers.size(), 1u);
    const auto &l = m.layers[0];
    const auto polygons = testsupport::polygonsOf(m, 0);
    EXPECT_EQ(l.number, 1);
    EXPECT_EQ(l.name, "Figure");
    EXPECT_EQ(l.pointCount, 26u);
    ASSERT_EQ(l.polygonCount(), 11u);
    size_t curves = 0;
    for (const auto &p : polygons)
        curves += p.type == kCurve;
    EXPECT_EQ(curves, 10u);

    const auto &spine = polygons[0];
    EXPECT_EQ(m.surfaces.at(spine.surface), "Spine");
    EXPECT_TRUE(spine.startControl);
    EXPECT_FALSE(spine.endControl);
    EXPECT_EQ(spine.points, (std::vector<uint32_t>{21, 0, 1, 2}));
    // The left arm starts at the chest point itself, its hand at the wrist.
    EXPECT_EQ(m.surfaces.at(polygons[3].surface), "ArmL");
    EXPECT_EQ(polygons[3].points.front(), spine.points.back());
    EXPECT_EQ(polygons[4].points.front(), polygons[3].points.back());
    EXPECT_EQ(m.surfaces.at(polygons[9].surface), "Tail_NG");
    EXPECT_EQ(polygons[9].points.front(), 0u);
    EXPECT_EQ(polygons[10].type, kFace);
    EXPECT_EQ(m.surfaces.at(polygons[10].surface), "Ground");
}
