// The layout rules of the IFF object files, on hand-built files.
#include "readers/bytes.h"
#include "support/mesh_check.h"

#include <gtest/gtest.h>

using namespace readertest;
using standin::Mesh;

namespace {

Mesh mustRead(const std::string &bytes) {
    Mesh mesh;
    std::string reason;
    EXPECT_TRUE(readString(bytes, mesh, reason)) << reason;
    return mesh;
}

Bytes layr(uint16_t number, const std::string &name) {
    Bytes b;
    b.u2(number).u2(0).points({0, 0, 0}).s0(name);
    return b;
}

Bytes pnts(size_t n) {
    Bytes b;
    for (size_t i = 0; i < n; ++i)
        b.points({float(i), float(2 * i), -float(i)});
    return b;
}

const std::string &surface(const Mesh &m, const standin::PolygonData &p) { return m.surfaces.at(p.surface); }

} // namespace

TEST(Lwo2Layout, layersNumberedFromOneInFileOrderWithTheirOwnPoints) {
    Bytes body;
    body.chunk("LAYR", layr(4, "five"))
        .chunk("PNTS", pnts(2))
        .chunk("POLS", Bytes().id("FACE").u2(2).u2(1).u2(0))
        .chunk("LAYR", layr(0, "one"))
        .chunk("PNTS", pnts(3))
        .chunk("POLS", Bytes().id("FACE").u2(3).u2(2).u2(1).u2(0).u2(1).u2(2));
    Mesh m = mustRead(form("LWO2", body));
    ASSERT_EQ(m.layers.size(), 2u);
    EXPECT_EQ(m.layers[0].number, 5);
    EXPECT_EQ(m.layers[0].name, "five");
    EXPECT_EQ(m.layers[1].number, 1);
    EXPECT_EQ(m.layers[1].name, "one");
    EXPECT_EQ(m.layers[0].pointCount, 2u);
    EXPECT_EQ(m.layers[1].pointCount, 3u);
    ASSERT_EQ(m.layers[1].polygonCount(), 2u);
    EXPECT_EQ(m.polygon(1, 0).points, (std::vector<uint32_t>{2, 1, 0}));
    EXPECT_EQ(m.polygon(1, 1).points, (std::vector<uint32_t>{2}));
    EXPECT_EQ(m.point(1, 2), (std::array<double, 3>{2, 4, -2}));
}

TEST(Lwo2Layout, fileWithoutLayrHoldsLayerOneAndSharedPositionsStayDistinctPoints) {
    Bytes body;
    body.chunk("PNTS", Bytes().points({1, 1, 1, 1, 1, 1})).chunk("POLS", Bytes().id("CURV").u2(2).u2(0).u2(1));
    Mesh m = mustRead(form("LWO2", body));
    ASSERT_EQ(m.layers.size(), 1u);
    EXPECT_EQ(m.layers[0].number, 1);
    EXPECT_EQ(m.layers[0].pointCount, 2u);
    EXPECT_EQ(m.polygon(0, 0).points, (std::vector<uint32_t>{0, 1}));

    Mesh none = mustRead(form("LWO2", Bytes()));
    ASSERT_EQ(none.layers.size(), 1u);
    EXPECT_EQ(none.layers[0].number, 1);
}

TEST(Lwo2Layout, wideIndicesAtAndAbove0xFF00) {
    const size_t n = 0xFF02;
    Bytes body;
    body.chunk("PNTS", pnts(n)).chunk("POLS", Bytes().id("FACE").u2(4).vx(0xFEFF).vx(0xFF00).vx(0xFF01).vx(3));
    Mesh m = mustRead(form("LWO2", body));
    ASSERT_EQ(m.layers[0].polygonCount(), 1u);
    EXPECT_EQ(m.polygon(0, 0).points, (std::vector<uint32_t>{0xFEFF, 0xFF00, 0xFF01, 3}));
}

TEST(Lwo2Layout, oddChunksArePaddedAndUnknownChunksSkipped) {
    Bytes body;
    body.chunk("TAGS", Bytes().s0("Bone")) // "Bone\0" + pad: even
        .chunk("ZZZZ", Bytes().raw("abc")) // odd, pad byte follows
        .chunk("PNTS", pnts(2))
        .chunk("VMAP", Bytes().id("WGHT").u2(1).raw("Weight")) // odd again
        .chunk("POLS", Bytes().id("CURV").u2(2).u2(0).u2(1))
        .chunk("PTAG", Bytes().id("SURF").vx(0).u2(0));
    Mesh m = mustRead(form("LWO2", body));
    ASSERT_EQ(m.layers[0].polygonCount(), 1u);
    EXPECT_EQ(surface(m, m.polygon(0, 0)), "Bone");
}

TEST(Lwo2Layout, curveFlagsAreControlPointsAndHighBitsExtendTheCount) {
    Bytes pols;
    pols.id("CURV");
    pols.u2(0x0400 | 2).u2(0).u2(1);       // start control
    pols.u2(0x0800 | 3).u2(0).u2(1).u2(2); // end control
    pols.u2(0x0C00 | 2).u2(1).u2(2);       // both
    pols.u2(0x1000 | 0x0400 | 1);          // 1024 + 1 points
    for (uint32_t i = 0; i < 1025; ++i)
        pols.u2(uint16_t(i % 3));
    Bytes face;
    face.id("FACE").u2(0x0C00 | 3).u2(0).u2(1).u2(2); // flags of a face are not its count
    Bytes body;
    body.chunk("PNTS", pnts(3)).chunk("POLS", pols).chunk("POLS", face);
    Mesh m = mustRead(form("LWO2", body));
    const auto p = testsupport::polygonsOf(m, 0);
    ASSERT_EQ(p.size(), 5u);
    EXPECT_TRUE(p[0].startControl);
    EXPECT_FALSE(p[0].endControl);
    EXPECT_FALSE(p[1].startControl);
    EXPECT_TRUE(p[1].endControl);
    EXPECT_EQ(p[1].points.size(), 3u);
    EXPECT_TRUE(p[2].startControl && p[2].endControl);
    EXPECT_EQ(p[3].points.size(), 1025u);
    EXPECT_TRUE(p[3].startControl);
    EXPECT_EQ(p[3].type, kCurve);
    EXPECT_EQ(p[4].type, kFace);
    EXPECT_EQ(p[4].points.size(), 3u);
    EXPECT_FALSE(p[4].startControl || p[4].endControl);
}

TEST(Lwo2Layout, surfacesComeFromSurfTagsOfTheLatestPolsAndDefaultOtherwise) {
    Bytes body;
    body.chunk("TAGS", Bytes().s0("DkBlu").s0("Spine").s0("Arm"))
        .chunk("PNTS", pnts(3))
        .chunk("POLS", Bytes().id("CURV").u2(2).u2(0).u2(1).u2(2).u2(1).u2(2))
        .chunk("PTAG", Bytes().id("COLR").vx(0).u2(0).vx(1).u2(0)) // not a surface
        .chunk("PTAG", Bytes().id("SURF").vx(1).u2(1))
        .chunk("POLS", Bytes().id("CURV").u2(2).u2(2).u2(0))
        .chunk("PTAG", Bytes().id("SURF").vx(0).u2(2));
    Mesh m = mustRead(form("LWO2", body));
    const auto p = testsupport::polygonsOf(m, 0);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(surface(m, p[0]), "Default");
    EXPECT_EQ(surface(m, p[1]), "Spine");
    EXPECT_EQ(surface(m, p[2]), "Arm");
}

TEST(Lwo2Layout, laterSurfTagsOverrideEarlierOnesPolygonByPolygon) {
    const auto triangles = [](int n) {
        Bytes b;
        b.id("FACE");
        for (int i = 0; i < n; ++i)
            b.u2(3).u2(0).u2(1).u2(2);
        return b;
    };
    Bytes body;
    body.chunk("TAGS", Bytes().s0("A").s0("B").s0("C"))
        .chunk("PNTS", pnts(3))
        .chunk("POLS", triangles(4))
        .chunk("PTAG", Bytes().id("SURF").vx(0).u2(0).vx(1).u2(0).vx(2).u2(0).vx(3).u2(0))
        .chunk("PTAG", Bytes().id("SURF").vx(0).u2(1).vx(1).u2(1).vx(3).u2(2).vx(0).u2(0))
        .chunk("POLS", triangles(4))
        .chunk("PTAG", Bytes().id("SURF").vx(0).u2(0).vx(1).u2(0).vx(2).u2(1).vx(3).u2(0))
        .chunk("POLS", triangles(3))
        .chunk("PTAG", Bytes().id("SURF").vx(0).u2(2).vx(1).u2(2));
    Mesh m = mustRead(form("LWO2", body));
    std::string surfaces;
    for (const auto &polygon : testsupport::polygonsOf(m, 0))
        surfaces += surface(m, polygon).substr(0, 1);
    EXPECT_EQ(surfaces,
              "ABAC"
              "AABA"
              "CCD");
}

TEST(LwobLayout, polygonsWithDetailsAndCurvesWithControlFlags) {
    Bytes pols;
    pols.u2(3)
        .u2(0)
        .u2(1)
        .u2(2)
        .u2(uint16_t(-2))
        .u2(1) // surface 2, one detail
        .u2(2)
        .u2(1)
        .u2(2)
        .u2(1) // the detail, surface 1
        .u2(2)
        .u2(2)
        .u2(0)
        .u2(1);
    Bytes crvs;
    crvs.u2(3)
        .u2(0)
        .u2(1)
        .u2(2)
        .u2(2)
        .u2(1) // start control
        .u2(2)
        .u2(2)
        .u2(0)
        .u2(1)
        .u2(2); // end control
    Bytes body;
    body.chunk("SRFS", Bytes().s0("Face").s0("Curve")).chunk("PNTS", pnts(3)).chunk("POLS", pols).chunk("CRVS", crvs);
    Mesh m = mustRead(form("LWOB", body));
    EXPECT_EQ(m.format, "LWOB");
    ASSERT_EQ(m.layers.size(), 1u);
    EXPECT_EQ(m.layers[0].number, 1);
    const auto p = testsupport::polygonsOf(m, 0);
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(surface(m, p[0]), "Curve");
    EXPECT_EQ(surface(m, p[1]), "Face");
    EXPECT_EQ(p[1].points, (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(p[2].type, kFace);
    EXPECT_EQ(p[3].type, kCurve);
    EXPECT_TRUE(p[3].startControl);
    EXPECT_FALSE(p[3].endControl);
    EXPECT_EQ(surface(m, p[3]), "Curve");
    EXPECT_FALSE(p[4].startControl);
    EXPECT_TRUE(p[4].endControl);
}

TEST(LwobLayout, layeredFileKeepsItsLayerNumbers) {
    Bytes body;
    body.chunk("SRFS", Bytes().s0("S"))
        .chunk("LAYR", Bytes().u2(3).u2(1).s0("third"))
        .chunk("PNTS", pnts(2))
        .chunk("CRVS", Bytes().u2(2).u2(0).u2(1).u2(1).u2(0))
        .chunk("LAYR", Bytes().u2(1).u2(0).s0("first"))
        .chunk("PNTS", pnts(1));
    Mesh m = mustRead(form("LWLO", body));
    EXPECT_EQ(m.format, "LWLO");
    ASSERT_EQ(m.layers.size(), 2u);
    EXPECT_EQ(m.layers[0].number, 3);
    EXPECT_EQ(m.layers[0].name, "third");
    EXPECT_EQ(m.layers[0].polygonCount(), 1u);
    EXPECT_EQ(m.layers[1].number, 1);
    EXPECT_EQ(m.layers[1].pointCount, 1u);
}
