// Bad model files are refused with one line naming where and why, and no
// damaged file crashes, hangs or allocates without bound.
#include "readers/bytes.h"
#include "support/mesh_check.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace readertest;
using standin::Mesh;

namespace {

struct BadCase {
    const char *what;
    std::string bytes;
    const char *reason;
};

Bytes pnts(size_t n) {
    Bytes b;
    for (size_t i = 0; i < n; ++i)
        b.points({0, 1, 2});
    return b;
}

std::string lwo2(const Bytes &body) { return form("LWO2", body); }

std::vector<BadCase> badCases() {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Bytes hugeChunk;
    hugeChunk.id("PNTS").u4(0xFFFFFFF0u).points({0, 0, 0});
    Bytes formTooBig;
    formTooBig.id("FORM").u4(1000).id("LWO2");
    return {
        {"empty", "", "byte 0: empty file"},
        {"text of no format", "hello world\n", "byte 0: not a model file of a known format"},
        {"comments only", "# nothing\n\n", "byte 0: not a model file of a known format"},
        {"binary of no format", std::string("\x00\x01\x02\x03", 4), "byte 0: not a model file of a known format"},
        {"unknown FORM type", form("ILBM", Bytes()), "byte 8: not a model file of a known format"},
        {"FORM past the end", formTooBig.b, "byte 0: FORM chunk runs past the end of the file"},
        {"FORM header cut", "FORM\0\0\0\4", "byte 0: FORM chunk cut short"},
        {"oversized chunk", lwo2(hugeChunk), "byte 12: PNTS chunk runs past the end of the file"},
        {"chunk header cut", lwo2(Bytes().chunk("PNTS", pnts(1)).raw("abc")), "byte 32: chunk header cut short"},
        {"points cut", lwo2(Bytes().chunk("PNTS", Bytes().points({0, 0, 0}).u1(0))), "byte 12: PNTS chunk cut short"},
        {"NaN coordinate", lwo2(Bytes().chunk("PNTS", Bytes().points({0, 0, 0, 0, nan, 0}))),
         "byte 36: non-finite coordinate"},
        {"infinite coordinate", lwo2(Bytes().chunk("PNTS", Bytes().points({inf, 0, 0}))),
         "byte 20: non-finite coordinate"},
        {"index past the points",
         lwo2(Bytes().chunk("PNTS", pnts(2)).chunk("POLS", Bytes().id("FACE").u2(2).u2(0).u2(5))),
         "byte 60: index 5 past the 2 points"},
        {"wide index past the points",
         lwo2(Bytes().chunk("PNTS", pnts(2)).chunk("POLS", Bytes().id("CURV").u2(2).u2(0).vx(0x10000))),
         "byte 60: index 65536 past the 2 points"},
        {"polygon before any points", lwo2(Bytes().chunk("POLS", Bytes().id("FACE").u2(1).u2(0))),
         "byte 24: polygon before any points"},
        {"count the chunk cannot hold",
         lwo2(Bytes().chunk("PNTS", pnts(2)).chunk("POLS", Bytes().id("FACE").u2(1000).u2(0).u2(1))),
         "byte 56: vertex count 1000 more than the chunk holds"},
        {"curve count the chunk cannot hold",
         lwo2(Bytes().chunk("PNTS", pnts(2)).chunk("POLS", Bytes().id("CURV").u2(0xF3FF).u2(0))),
         "byte 56: vertex count 16383 more than the chunk holds"},
        {"wide index cut", lwo2(Bytes().chunk("PNTS", pnts(2)).chunk("POLS", Bytes().id("FACE").u2(1).u2(0xFF00))),
         "byte 58: POLS chunk cut short"},
        {"tag for a missing polygon",
         lwo2(Bytes()
                  .chunk("PNTS", pnts(2))
                  .chunk("POLS", Bytes().id("FACE").u2(2).u2(0).u2(1))
                  .chunk("PTAG", Bytes().id("SURF").vx(3).u2(0))),
         "byte 74: polygon 3 past the 1 polygons"},
        {"tag past the tags",
         lwo2(Bytes()
                  .chunk("PNTS", pnts(2))
                  .chunk("POLS", Bytes().id("FACE").u2(2).u2(0).u2(1))
                  .chunk("PTAG", Bytes().id("SURF").vx(0).u2(0))),
         "byte 74: tag 0 past the 0 tags"},
        {"layer cut", lwo2(Bytes().chunk("LAYR", Bytes().u2(0).u2(0))), "byte 12: LAYR chunk cut short"},
        {"older surface past the surfaces",
         form("LWOB",
              Bytes().chunk("SRFS", Bytes().s0("A")).chunk("PNTS", pnts(1)).chunk("POLS", Bytes().u2(1).u2(0).u2(2))),
         "byte 54: surface 2 not among the 1 surfaces"},
        {"older detail with details",
         form("LWOB",
              Bytes()
                  .chunk("SRFS", Bytes().s0("A"))
                  .chunk("PNTS", pnts(1))
                  .chunk("POLS", Bytes().u2(1).u2(0).u2(0xFFFF).u2(1).u2(1).u2(0).u2(0xFFFF))),
         "byte 62: detail polygon with details of its own"},
        {"older index past the points",
         form("LWOB",
              Bytes()
                  .chunk("SRFS", Bytes().s0("A"))
                  .chunk("PNTS", pnts(1))
                  .chunk("CRVS", Bytes().u2(2).u2(0).u2(3).u2(1).u2(0))),
         "byte 54: index 3 past the 1 points"},
        {"OBJ index past the points", "v 1 2 3\nf 1 2 4\n", "line 2: index 2 past the 1 points"},
        {"OBJ relative index past the points", "v 1 2 3\n\nl 1 -2\n", "line 3: index -2 past the 1 points"},
        {"OBJ polygon before any points", "# x\nf 1 2 3\n", "line 2: polygon before any points"},
        {"OBJ NaN", "v 1 nan 3\n", "line 1: non-finite coordinate"},
        {"OBJ overflowing number", "v 1 1e999 3\n", "line 1: non-finite coordinate"},
        {"OBJ missing number", "v 1 2\n", "line 1: bad number"},
        {"OBJ bad number", "v 1 x2 3\n", "line 1: bad number"},
        {"OBJ index zero", "v 1 2 3\nf 1 0\n", "line 2: index 0 is not a point"},
        {"OBJ bad index", "v 1 2 3\nf 1/1 a\n", "line 2: bad index"},
        {"OBJ unknown statement", "v 1 2 3\nbogus 1\n", "line 2: unknown statement"},
    };
}

// Loads or fails cleanly: a whole model, or one line that names a byte or a
// line and no mesh left.
void expectCleanOutcome(const std::string &bytes) {
    Mesh mesh;
    std::string reason;
    const bool read = readString(bytes, mesh, reason);
    ASSERT_EQ(testsupport::meshFault(read, mesh, reason), "");
}

std::vector<std::string> fixtures() {
    std::string data = SPINDLE_TEST_DATA;
    Bytes curves;
    curves.chunk("TAGS", Bytes().s0("Spine").s0("Tail_NG"))
        .chunk("LAYR", Bytes().u2(0).u2(0).points({0, 0, 0}).s0("body"))
        .chunk("PNTS", pnts(4))
        .chunk("POLS", Bytes().id("CURV").u2(0x0403).u2(0).u2(1).u2(2).u2(0x0802).u2(2).u2(3))
        .chunk("PTAG", Bytes().id("SURF").vx(0).u2(0).vx(1).u2(1))
        .chunk("LAYR", Bytes().u2(2).u2(0).points({0, 0, 0}).s0("x"))
        .chunk("PNTS", pnts(2))
        .chunk("POLS", Bytes().id("FACE").u2(2).u2(1).u2(0));
    Bytes layered;
    layered.chunk("SRFS", Bytes().s0("A").s0("B"))
        .chunk("LAYR", Bytes().u2(1).u2(1).s0("one"))
        .chunk("PNTS", pnts(3))
        .chunk("POLS", Bytes().u2(3).u2(0).u2(1).u2(2).u2(0xFFFE).u2(1).u2(2).u2(0).u2(1).u2(1))
        .chunk("CRVS", Bytes().u2(2).u2(0).u2(2).u2(1).u2(3));
    return {testsupport::readFile(data + "/simple_cube.lwo"), testsupport::readFile(data + "/LWOB_ConcavePolygon.lwo"),
            form("LWO2", curves), form("LWLO", layered),
            "# figure\nv 0 0 0\nv 0 1 0\nv 0 2 0\nusemtl Spine\nl 1 2 -1\nf 1 2 3\n"};
}

} // namespace

TEST(BadInput, eachKindOfBadFileGivesItsOneLineReason) {
    for (const BadCase &c : badCases()) {
        Mesh mesh;
        std::string reason;
        EXPECT_FALSE(readString(c.bytes, mesh, reason)) << c.what;
        EXPECT_EQ(reason, c.reason) << c.what;
        EXPECT_TRUE(mesh.layers.empty()) << c.what;
    }
}

TEST(BadInput, polygonsWithNoPointsLoadInTheirPlace) {
    const std::string files[] = {
        lwo2(Bytes().chunk("PNTS", pnts(2)).chunk("POLS", Bytes().id("FACE").u2(0x0C00).u2(1).u2(1))),
        form("LWOB",
             Bytes()
                 .chunk("SRFS", Bytes().s0("A"))
                 .chunk("PNTS", pnts(2))
                 .chunk("CRVS", Bytes().u2(0).u2(1).u2(0).u2(1).u2(1).u2(1).u2(0))),
        "v 1 2 3\nl\nf 1\n",
    };
    for (const std::string &file : files) {
        Mesh mesh;
        std::string reason;
        ASSERT_TRUE(readString(file, mesh, reason)) << reason;
        ASSERT_EQ(mesh.layers.size(), 1u);
        const auto polygons = testsupport::polygonsOf(mesh, 0);
        ASSERT_EQ(polygons.size(), 2u) << mesh.format;
        EXPECT_TRUE(polygons[0].points.empty()) << mesh.format;
        EXPECT_EQ(polygons[1].points, (std::vector<uint32_t>{mesh.format == "OBJ" ? 0u : 1u})) << mesh.format;
    }
}

TEST(BadInput, everyPrefixAndFlippedByteLoadsOrFailsCleanly) {
    for (const std::string &fixture : fixtures()) {
        ASSERT_FALSE(fixture.empty());
        Mesh whole;
        std::string reason;
        ASSERT_TRUE(readString(fixture, whole, reason)) << reason;
        for (size_t n = 0; n < fixture.size(); ++n)
            expectCleanOutcome(fixture.substr(0, n));
        for (size_t i = 0; i < fixture.size(); ++i)
            for (uint8_t mask : {uint8_t(0xFF), uint8_t(0x01), uint8_t(0x80)}) {
                std::string damaged = fixture;
                damaged[i] = char(uint8_t(damaged[i]) ^ mask);
                expectCleanOutcome(damaged);
            }
    }
}
