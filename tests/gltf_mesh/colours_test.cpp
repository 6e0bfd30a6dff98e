// Surface colours as the model files give them, and files whose colours
// cannot be read still reading as they did.
#include "readers/bytes.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

using namespace readertest;
using standin::Mesh;

namespace {

using Colour = std::array<float, 3>;

Colour colourOf(const Mesh &mesh, const std::string &surface) {
    for (uint32_t s = 0; s < mesh.surfaces.size(); ++s)
        if (mesh.surfaces[s] == surface && mesh.colourOf(s))
            return *mesh.colourOf(s);
    return {-1, -1, -1};
}

// One triangle of surface 0, and SURF chunks `surfs`.
std::string lwo2(const Bytes &surfs) {
    return form("LWO2",
                Bytes()
                    .chunk("TAGS", Bytes().s0("Red").s0("Grey"))
                    .chunk("PNTS", Bytes().points({0, 0, 0, 1, 0, 0, 0, 1, 0}))
                    .chunk("POLS", Bytes().id("FACE").u2(3).vx(0).vx(1).vx(2))
                    .chunk("PTAG", Bytes().id("SURF").vx(0).u2(0))
                    .raw(surfs.b));
}

Bytes lwo2Surf(const std::string &name, float r, float g, float b) {
    // A sub-chunk before COLR that is passed over, and COLR's envelope.
    return Bytes().chunk(
        "SURF", Bytes().s0(name).s0("").id("DIFF").u2(6).f4(1).vx(0).id("COLR").u2(14).f4(r).f4(g).f4(b).vx(0));
}

} // namespace

TEST(SurfaceColours, readsColoursFromEachFormat) {
    Mesh mesh;
    std::string reason;
    // LWO2: COLR's three floats, brought within 0..1; a surface no polygon
    // has keeps its colour too, and one without COLR has none.
    ASSERT_TRUE(readString(lwo2(Bytes()
                                    .raw(lwo2Surf("Red", 1.5f, 0.25f, -1).b)
                                    .raw(lwo2Surf("Blue", 0, 0, 1).b)
                                    .chunk("SURF", Bytes().s0("Grey").s0(""))),
                           mesh, reason))
        << reason;
    EXPECT_EQ(colourOf(mesh, "Red"), (Colour{1, 0.25f, 0}));
    EXPECT_EQ(mesh.colours.at("Blue"), (Colour{0, 0, 1}));
    EXPECT_EQ(mesh.colours.count("Grey"), 0u);

    // LWOB: COLR's four bytes.
    const std::string lwob = form("LWOB",
                                  Bytes()
                                      .chunk("PNTS", Bytes().points({0, 0, 0, 1, 0, 0, 0, 1, 0}))
                                      .chunk("SRFS", Bytes().s0("Skin"))
                                      .chunk("POLS", Bytes().u2(3).u2(0).u2(1).u2(2).u2(1))
                                      .chunk("SURF", Bytes().s0("Skin").id("COLR").u2(4).u1(255).u1(0).u1(51).u1(0)));
    ASSERT_TRUE(readString(lwob, mesh, reason)) << reason;
    EXPECT_EQ(colourOf(mesh, "Skin"), (Colour{1, 0, 0.2f}));

    // OBJ: the Kd of its material library, beside it; a library that is not
    // there gives nothing and is no error.
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::writeFile(testsupport::join(dir.path, "body.mtl"),
                                       "# materials\nnewmtl Skin\nKa 1 1 1\nKd 0.8 0.6 0.5\n"
                                       "newmtl Cloth\nKd 0.1 bad 0.3\nnewmtl Hair\nKd 0 0 0.5\n"));
    const std::string obj = "mtllib missing.mtl\nmtllib body.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\n"
                            "usemtl Skin\nf 1 2 3\nusemtl Cloth\nf 1 3 2\n";
    ASSERT_TRUE(testsupport::writeFile(testsupport::join(dir.path, "body.obj"), obj));
    ASSERT_TRUE(standin::readMesh(testsupport::join(dir.path, "body.obj"), mesh, reason)) << reason;
    EXPECT_EQ(colourOf(mesh, "Skin"), (Colour{0.8f, 0.6f, 0.5f}));
    EXPECT_EQ(colourOf(mesh, "Cloth"), (Colour{-1, -1, -1}));
    EXPECT_EQ(mesh.colours.at("Hair"), (Colour{0, 0, 0.5f}));
}

TEST(SurfaceColours, damagedSurfaceChunksNeverFailTheFile) {
    // Every cut of a SURF chunk's body, and every byte of it flipped, reads
    // as the file without colours would; a colour kept is within 0..1.
    const Bytes surf = lwo2Surf("Red", 0.5f, 0.25f, 1);
    const std::string body = surf.b.substr(8);
    Mesh mesh;
    std::string reason;
    for (size_t cut = 0; cut <= body.size(); ++cut) {
        for (int flip = -1; flip < int(cut); ++flip) {
            std::string damaged = body.substr(0, cut);
            if (flip >= 0)
                damaged[size_t(flip)] = char(~damaged[size_t(flip)]);
            ASSERT_TRUE(readString(lwo2(Bytes().chunk("SURF", Bytes().raw(damaged))), mesh, reason))
                << "cut at " << cut << ", byte " << flip << " flipped: " << reason;
            EXPECT_EQ(mesh.surfaces.size(), 1u);
            for (const auto &[name, colour] : mesh.colours)
                for (float c : colour)
                    EXPECT_TRUE(c >= 0 && c <= 1);
        }
    }
}
