// The readers on real model files written by modelling programs.
#include "readers/bytes.h"
#include "support/mesh_check.h"
#include "support/support.h"
#include "standin/readers/read_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace readertest;
using standin::Mesh;

namespace {

struct LayerCounts {
    int32_t number;
    size_t points;
    size_t polygons;
    uint32_t type;
};

Mesh load(const std::string &name) {
    Mesh mesh;
    std::string reason;
    EXPECT_TRUE(standin::readMesh(std::string(SPINDLE_TEST_DATA) + "/" + name, mesh, reason)) << name << ": " << reason;
    return mesh;
}

void expectLayers(const Mesh &mesh, const std::vector<LayerCounts> &want) {
    ASSERT_EQ(mesh.layers.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE("layer index " + std::to_string(i));
        EXPECT_EQ(mesh.layers[i].number, want[i].number);
        EXPECT_EQ(mesh.layers[i].pointCount, want[i].points);
        EXPECT_EQ(mesh.layers[i].polygonCount(), want[i].polygons);
        for (const auto &p : testsupport::polygonsOf(mesh, i))
            EXPECT_EQ(p.type, want[i].type);
    }
    EXPECT_EQ(testsupport::meshFault(true, mesh, ""), "");
}

std::string surfaceOf(const Mesh &mesh, size_t layer, size_t polygon) {
    return mesh.surfaces.at(mesh.polygon(layer, polygon).surface);
}

} // namespace

TEST(CorpusFiles, layersComeOutInFileOrderNumberedFromOne) {
    Mesh h = load("hierarchy.lwo");
    EXPECT_EQ(h.format, "LWO2");
    expectLayers(h, {{4, 8, 6, kFace}, {5, 266, 288, kFace}, {3, 8, 6, kFace}, {2, 8, 6, kFace}});
    EXPECT_EQ(h.layers[0].name, "ChildOfRoot0");
    EXPECT_EQ(h.layers[1].name, "RootOfHierarchy");
    EXPECT_EQ(surfaceOf(h, 0, 0), "BoxOnLayer3");
    EXPECT_EQ(surfaceOf(h, 1, 0), "Default");
    EXPECT_EQ(surfaceOf(h, 3, 5), "RedBox");

    Mesh b = load("box3-uv-layers.lwo");
    expectLayers(b, {{2, 798, 864, kFace}, {1, 8, 6, kFace}, {10, 554, 576, kFace}});
    std::vector<std::string> sides;
    for (size_t i = 0; i < 6; ++i)
        sides.push_back(surfaceOf(b, 1, i));
    std::sort(sides.begin(), sides.end());
    EXPECT_EQ(sides, (std::vector<std::string>{"Back", "Bottom", "Front", "Left", "Right", "Top"}));
    EXPECT_EQ(surfaceOf(b, 0, 863), "Left");
}

TEST(CorpusFiles, singleLayerFilesOfSeveralWriters) {
    expectLayers(load("Subdivision.lwo"), {{1, 26, 24, kPtch}});
    expectLayers(load("ModoExport_vertNormals.lwo"), {{1, 266, 288, kFace}});
    expectLayers(load("simple_cube.lwo"), {{1, 8, 6, kFace}});

    Mesh c = load("concave_polygon.lwo");
    expectLayers(c, {{1, 64, 1, kFace}});
    EXPECT_EQ(c.layers[0].name, "concave_polygon");
    EXPECT_EQ(c.polygon(0, 0).points.size(), 66u);
    EXPECT_EQ(surfaceOf(c, 0, 0), "test_Smoothing");
}

TEST(CorpusFiles, olderFormatReadsAsLayerOne) {
    Mesh m = load("LWOB_ConcavePolygon.lwo");
    EXPECT_EQ(m.format, "LWOB");
    expectLayers(m, {{1, 64, 1, kFace}});
    EXPECT_EQ(m.polygon(0, 0).points.size(), 66u);
    EXPECT_EQ(surfaceOf(m, 0, 0), "test_Smoothing");
}

TEST(CorpusFiles, refusesTheEmptyFile) {
    Mesh mesh;
    std::string reason;
    EXPECT_FALSE(standin::readMesh(std::string(SPINDLE_TEST_DATA) + "/empty.lwo", mesh, reason));
    EXPECT_EQ(reason, "byte 0: empty file");
    EXPECT_TRUE(mesh.layers.empty());
}
