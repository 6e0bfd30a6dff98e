// A closed box around a chain, as an LWO2 file and as an OBJ (with its
// material library): a body of 1 x 3 x 1 standing on the origin, cut into
// six rings, around one curve of four points up its middle (three chain
// bones).  Its faces turn counter-clockwise seen from outside in the
// file's numbers, as the modeler and the OBJ writers both store them.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "readers/bytes.h"

namespace gltftest {

struct BoxModel {
    std::vector<std::array<float, 3>> points;   // the box's, then the chain's
    std::vector<std::array<uint32_t, 4>> quads; // the box's faces
    std::vector<uint32_t> chain;                // the curve's points
    static constexpr float kColour[3] = {0.8f, 0.4f, 0.2f};
    static constexpr double kVolume = 3.0;
};

inline BoxModel boxModel() {
    BoxModel box;
    const int rings = 6;
    const float corner[4][2] = {{-0.5f, -0.5f}, {0.5f, -0.5f}, {0.5f, 0.5f}, {-0.5f, 0.5f}};
    for (int k = 0; k <= rings; ++k)
        for (const auto &c : corner)
            box.points.push_back({c[0], 3.0f * float(k) / rings, c[1]});
    const auto at = [](int k, int i) { return uint32_t(4 * k + (i % 4)); };
    // Sides: seen from outside (x or z outwards), a, a+1 up to the next
    // ring turn counter-clockwise when the ring runs clockwise seen from +y.
    for (int k = 0; k < rings; ++k)
        for (int i = 0; i < 4; ++i)
            box.quads.push_back({at(k, i), at(k + 1, i), at(k + 1, i + 1), at(k, i + 1)});
    box.quads.push_back({at(0, 0), at(0, 1), at(0, 2), at(0, 3)});                 // bottom, seen from -y
    box.quads.push_back({at(rings, 0), at(rings, 3), at(rings, 2), at(rings, 1)}); // top, seen from +y
    for (float y : {0.25f, 1.0f, 2.0f, 2.75f}) {
        box.chain.push_back(uint32_t(box.points.size()));
        box.points.push_back({0, y, 0});
    }
    return box;
}

// The box as an LWO2 file: surface "Body" with its COLR, the chain a curve
// of surface "Bones".
inline std::string boxLwo2(const BoxModel &box) {
    using readertest::Bytes;
    Bytes points, faces, tags, curve;
    for (const auto &p : box.points)
        points.points({p[0], p[1], p[2]});
    faces.id("FACE");
    for (const auto &q : box.quads) {
        faces.u2(4);
        for (uint32_t i : q)
            faces.vx(i);
    }
    for (size_t f = 0; f < box.quads.size(); ++f)
        tags.vx(uint32_t(f)).u2(0);
    curve.id("CURV").u2(uint16_t(box.chain.size()));
    for (uint32_t i : box.chain)
        curve.vx(i);
    const float *c = BoxModel::kColour;
    return readertest::form(
        "LWO2",
        Bytes()
            .chunk("TAGS", Bytes().s0("Body").s0("Bones"))
            .chunk("PNTS", points)
            .chunk("POLS", faces)
            .chunk("PTAG", Bytes().id("SURF").raw(tags.b))
            .chunk("POLS", curve)
            .chunk("PTAG", Bytes().id("SURF").vx(0).u2(1)) // numbered within its POLS
            .chunk("SURF", Bytes().s0("Body").s0("").id("COLR").u2(14).f4(c[0]).f4(c[1]).f4(c[2]).vx(0)));
}

// The box as an OBJ naming "box.mtl" (see boxMtl), the chain one `l` line.
inline std::string boxObj(const BoxModel &box) {
    std::string s = "mtllib box.mtl\n";
    for (const auto &p : box.points)
        s += "v " + std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + "\n";
    s += "usemtl Body\n";
    for (const auto &q : box.quads)
        s += "f " + std::to_string(q[0] + 1) + " " + std::to_string(q[1] + 1) + " " + std::to_string(q[2] + 1) + " " +
            std::to_string(q[3] + 1) + "\n";
    s += "usemtl Bones\nl";
    for (uint32_t i : box.chain)
        s += " " + std::to_string(i + 1);
    return s + "\n";
}

inline std::string boxMtl() {
    const float *c = BoxModel::kColour;
    return "newmtl Body\nKd " + std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]) +
        "\nnewmtl Bones\nKd 0 0 0\n";
}

} // namespace gltftest
