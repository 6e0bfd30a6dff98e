// Wavefront OBJ: lines as curves with the last material, faces, relative
// indices, one layer.
#include "readers/bytes.h"
#include "support/mesh_check.h"
#include "support/support.h"
#include "standin/readers/read_mesh.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace readertest;
using standin::Mesh;

TEST(ObjReader, linesAreCurvesWithTheLastMaterialAndFacesAreFaces) {
    const std::string text = "# a figure\r\n"
                             "mtllib fig.mtl\n"
                             "v 0 0 0\n"
                             "v 0 1 0\n"
                             "v 0 1 0\n" // same place, its own point
                             "v +1 2.5e0 -3\n"
                             "l 1 2 4\n"
                             "usemtl Spine\n"
                             "o body\n"
                             "g g1\n"
                             "l 1/1 -1 -2\r\n"
                             "vt 0 0\n"
                             "f 1//1 2/1/1 3\n"
                             "usemtl Tail_NG\n"
                             "l 4 3\n";
    Mesh m;
    std::string reason;
    ASSERT_TRUE(readString(text, m, reason)) << reason;
    EXPECT_EQ(m.format, "OBJ");
    ASSERT_EQ(m.layers.size(), 1u);
    const auto &l = m.layers[0];
    const auto polygons = testsupport::polygonsOf(m, 0);
    EXPECT_EQ(l.number, 1);
    ASSERT_EQ(l.pointCount, 4u);
    EXPECT_EQ(m.point(0, 3), (std::array<double, 3>{1, 2.5, -3}));
    ASSERT_EQ(l.polygonCount(), 4u);
    EXPECT_EQ(polygons[0].type, kCurve);
    EXPECT_EQ(polygons[0].points, (std::vector<uint32_t>{0, 1, 3}));
    EXPECT_EQ(m.surfaces.at(polygons[0].surface), "Default");
    EXPECT_EQ(polygons[1].points, (std::vector<uint32_t>{0, 3, 2}));
    EXPECT_EQ(m.surfaces.at(polygons[1].surface), "Spine");
    EXPECT_FALSE(polygons[1].startControl || polygons[1].endControl);
    EXPECT_EQ(polygons[2].type, kFace);
    EXPECT_EQ(polygons[2].points, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(m.surfaces.at(polygons[2].surface), "Spine");
    EXPECT_EQ(m.surfaces.at(polygons[3].surface), "Tail_NG");
}

// Blender writes no `usemtl` for loose edges, only `o NAME`: its lines are
// named after their group until a material comes, which then holds.
TEST(ObjReader, linesBeforeAnyMaterialTakeTheirGroupsName) {
    const std::string text = "v 0 0 0\nv 0 1 0\nv 1 1 0\n"
                             "l 1 2\n"
                             "o Skeleton\n"
                             "l 1 2\n"
                             "f 1 2 3\n"
                             "l 2 3\n"
                             "g Left Arm\n"
                             "l 2 3\n"
                             "usemtl Spine\n"
                             "o Tail\n"
                             "l 3 1\n";
    Mesh m;
    std::string reason;
    ASSERT_TRUE(readString(text, m, reason)) << reason;
    std::vector<std::string> surfaces;
    for (const auto &polygon : testsupport::polygonsOf(m, 0))
        surfaces.push_back(m.surfaces.at(polygon.surface));
    EXPECT_EQ(surfaces, (std::vector<std::string>{"Default", "Skeleton", "Default", "Skeleton", "Left Arm", "Spine"}));
}

TEST(ObjReader, formatToldByContentNotByName) {
    const testsupport::TempDir temp;
    const std::string &dir = temp.path;
    ASSERT_FALSE(dir.empty());
    const std::string lwoNamedObj = testsupport::join(dir, "cube.obj");
    const std::string objNamedLwo = testsupport::join(dir, "figure.lwo");
    ASSERT_TRUE(testsupport::writeFile(lwoNamedObj,
                                       testsupport::readFile(std::string(SPINDLE_TEST_DATA) + "/simple_cube.lwo")));
    // Comments longer than the first bytes read to tell the format.
    ASSERT_TRUE(testsupport::writeFile(objNamedLwo, "\n\n# c\n   \n" + std::string(100000, '#') + "\nv 1 2 3\n"));
    Mesh m;
    std::string reason;
    ASSERT_TRUE(standin::readMesh(lwoNamedObj, m, reason)) << reason;
    EXPECT_EQ(m.format, "LWO2");
    ASSERT_TRUE(standin::readMesh(objNamedLwo, m, reason)) << reason;
    EXPECT_EQ(m.format, "OBJ");
    EXPECT_EQ(m.layers[0].pointCount, 1u);
}

TEST(ObjReader, millionPointCurveReadsInOnePass) {
    std::string text = "v 0 0 0\nv 1 0 0\nv 2 0 0\nl";
    const size_t n = 1000000;
    text.reserve(text.size() + 3 * n + 1);
    for (size_t i = 0; i < n; ++i)
        text += (i % 2) ? " 2" : " -1";
    text += "\n";
    Mesh m;
    std::string reason;
    ASSERT_TRUE(readString(text, m, reason)) << reason;
    ASSERT_EQ(m.layers[0].polygonCount(), 1u);
    const auto p = m.polygon(0, 0).points;
    ASSERT_EQ(p.size(), n);
    EXPECT_EQ(p[0], 2u);
    EXPECT_EQ(p[1], 1u);
}
