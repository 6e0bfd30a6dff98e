// A model's faces as glTF primitives: outwards in glTF's frame whichever
// frame the model was in, one primitive per surface, nothing but faces.
#include "readers/bytes.h"
#include "standin/gltf/mesh_primitives.h"
#include "standin/readers/read_mesh.h"
#include "standin/geometry/normals.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

using namespace readertest;
using standin::Mesh;
using standin::gltf::FrameRule;
using standin::gltf::MeshPrimitive;

namespace {

// A unit cube's corners and its faces, counter-clockwise seen from outside
// in a right-handed frame.
const float kCorners[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
const uint32_t kSides[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {3, 7, 6, 2}, {0, 4, 7, 3}, {1, 2, 6, 5}};

// The box as the modeler writes it: its faces run clockwise seen from
// outside in its left-handed frame, which in the file's numbers are the
// same corner orders as a right-handed box's counter-clockwise ones (as in
// the corpus cube).  The lid has a surface of its own; a two-point polygon
// and a curve come with it.
std::string lwo2Box() {
    Bytes points, faces, tags, curve;
    for (const auto &c : kCorners)
        points.points({c[0], c[1], c[2]});
    points.points({0.5f, 0, 0.5f, 0.5f, 2, 0.5f});
    faces.id("FACE");
    for (const auto &side : kSides) {
        faces.u2(4);
        for (uint32_t i : side)
            faces.vx(i);
    }
    faces.u2(2).vx(8).vx(9);
    for (uint32_t f = 0; f < 7; ++f)
        tags.vx(f).u2(f == 3 ? 1 : 0);
    curve.id("CURV").u2(2).vx(8).vx(9);
    return form("LWO2",
                Bytes()
                    .chunk("TAGS", Bytes().s0("Box").s0("Lid"))
                    .chunk("PNTS", points)
                    .chunk("POLS", faces)
                    .chunk("PTAG", Bytes().id("SURF").raw(tags.b))
                    .chunk("POLS", curve));
}

std::string objBox() {
    std::string s;
    for (const auto &c : kCorners)
        s += "v " + std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]) + "\n";
    s += "v 0.5 0 0.5\nv 0.5 2 0.5\nusemtl Box\n";
    for (int f = 0; f < 6; ++f) {
        s += f == 3 ? "usemtl Lid\nf" : "f";
        for (uint32_t i : kSides[f])
            s += " " + std::to_string(i + 1);
        s += f == 3 ? "\nusemtl Box\n" : "\n";
    }
    return s + "f 9 10\nl 9 10\np 9\n";
}

template <typename Index>
double signedVolume(const MeshPrimitive &p, const std::vector<Index> &indices) {
    double volume = 0;
    auto at = [&](size_t k) {
        const float *v = &p.positions[3 * size_t(indices[k])];
        return std::array<double, 3>{v[0], v[1], v[2]};
    };
    for (size_t t = 0; t < indices.size(); t += 3) {
        const auto a = at(t), b = at(t + 1), c = at(t + 2);
        volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                   a[2] * (b[0] * c[1] - b[1] * c[0])) /
            6;
    }
    return volume;
}

} // namespace

TEST(MeshPrimitives, boxFacesOutwardsInGltfFrameFromEitherFormat) {
    for (const auto &[name, bytes, frame] :
         {std::tuple{"LWO2", lwo2Box(), FrameRule::MirrorZ}, std::tuple{"OBJ", objBox(), FrameRule::Unchanged}}) {
        SCOPED_TRACE(name);
        Mesh mesh;
        std::string reason;
        ASSERT_TRUE(readString(bytes, mesh, reason)) << reason;
        EXPECT_EQ(standin::gltf::frameRuleOf(mesh.format), frame);
        const std::vector<MeshPrimitive> primitives = standin::gltf::meshPrimitives(mesh, {0}, frame);
        // The box's sides and its lid; the two-point face, the line and the
        // point are left out.
        ASSERT_EQ(primitives.size(), 2u);
        EXPECT_EQ(mesh.surfaces[primitives[0].surface], "Box");
        EXPECT_EQ(mesh.surfaces[primitives[1].surface], "Lid");
        EXPECT_EQ(primitives[0].vertexCount(), 8u);
        EXPECT_EQ(primitives[1].vertexCount(), 4u);
        EXPECT_EQ(primitives[0].indices16.size(), 30u);
        EXPECT_EQ(primitives[1].indices16.size(), 6u);
        double volume = 0;
        for (const MeshPrimitive &p : primitives) {
            EXPECT_TRUE(p.indices32.empty());
            volume += signedVolume(p, p.indices16);
            // In glTF's frame: z negated from the modeler's.
            const float z = frame == FrameRule::MirrorZ ? -1.0f : 0.0f;
            EXPECT_EQ(p.lo, (std::array<float, 3>{0, p.surface == 1 ? 1.0f : 0.0f, z}));
            EXPECT_EQ(p.hi, (std::array<float, 3>{1, 1, z + 1}));
        }
        EXPECT_NEAR(volume, 1.0, 1e-6);
        EXPECT_NEAR(standin::gltf::modelSize(primitives), std::sqrt(3.0), 1e-6);
        // The box's normals point away from its middle.
        std::vector<float> normals;
        const MeshPrimitive &sides = primitives[0];
        standin::geometry::vertexNormals(sides.positions.data(), sides.vertexCount(), sides.indices16.data(),
                                         sides.indices16.size(), normals);
        for (size_t v = 0; v < sides.vertexCount(); ++v) {
            double outwards = 0, length = 0;
            for (size_t a = 0; a < 3; ++a) {
                const double middle = a == 2 && frame == FrameRule::MirrorZ ? -0.5 : 0.5;
                outwards += normals[3 * v + a] * (sides.positions[3 * v + a] - middle);
                length += normals[3 * v + a] * normals[3 * v + a];
            }
            EXPECT_GT(outwards, 0) << "vertex " << v;
            EXPECT_NEAR(length, 1.0, 1e-6);
        }
    }
}

TEST(MeshPrimitives, corpusCubeFacesOutwards) {
    Mesh mesh;
    std::string reason;
    ASSERT_TRUE(standin::readMesh(std::string(SPINDLE_TEST_DATA) + "/simple_cube.lwo", mesh, reason)) << reason;
    const auto primitives = standin::gltf::meshPrimitives(mesh, {0}, standin::gltf::frameRuleOf(mesh.format));
    ASSERT_EQ(primitives.size(), 1u);
    EXPECT_EQ(primitives[0].indexCount(), 36u);
    EXPECT_GT(signedVolume(primitives[0], primitives[0].indices16), 0);
}

TEST(MeshPrimitives, takesThirtyTwoBitIndicesOnlyPastSixteenBits) {
    // A grid of 255 x 255 quads has 65536 points, one more than 16-bit
    // indices may name (glTF keeps 65535 for restarting strips); 254 x 255
    // has 65280.
    for (uint32_t rows : {254u, 255u}) {
        Mesh mesh;
        mesh.addLayer(1);
        for (uint32_t r = 0; r <= rows; ++r)
            for (uint32_t c = 0; c <= 255; ++c)
                mesh.addPoint(c, 0, r);
        const uint32_t surface = mesh.surfaceNamed("Grid");
        for (uint32_t r = 0; r < rows; ++r)
            for (uint32_t c = 0; c < 255; ++c) {
                const uint32_t q[4] = {r * 256 + c, (r + 1) * 256 + c, (r + 1) * 256 + c + 1, r * 256 + c + 1};
                mesh.addPolygon(kFace, surface, q, 4);
            }
        const auto primitives = standin::gltf::meshPrimitives(mesh, {0}, FrameRule::Unchanged);
        ASSERT_EQ(primitives.size(), 1u);
        EXPECT_EQ(primitives[0].vertexCount(), size_t(rows + 1) * 256);
        EXPECT_EQ(primitives[0].indexCount(), size_t(rows) * 255 * 6);
        EXPECT_EQ(primitives[0].indices32.empty(), rows == 254);
    }
}
