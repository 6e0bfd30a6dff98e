// OBJ lines joined into curves.
#include <gtest/gtest.h>

#include <string>

#include "standin/readers/join_lines.h"
#include "standin/readers/formats.h"

namespace {

// The polygons of an OBJ text after joining, one "c 1 2 3" or "f 1 2 3"
// per polygon (indices from 1, surface after a slash when not the first).
std::string joinedText(const std::string &obj) {
    standin::Mesh mesh;
    std::string reason;
    EXPECT_TRUE(standin::readObj(reinterpret_cast<const uint8_t *>(obj.data()), obj.size(), mesh, reason)) << reason;
    standin::joinLines(mesh);
    std::string text;
    for (const standin::PolygonData &polygon : mesh.polygons(0)) {
        text += polygon.type == standin::kCurve ? "c" : "f";
        for (uint32_t point : polygon.points)
            text += " " + std::to_string(point + 1);
        if (polygon.surface != 0)
            text += "/" + mesh.surfaces[polygon.surface];
        text += "\n";
    }
    return text;
}

const std::string kPoints = "v 0 0 0\nv 0 1 0\nv 0 2 0\nv 0 3 0\nv 1 2 0\nv 1 3 0\nv 2 2 0\nv 2 3 0\n";

} // namespace

TEST(JoinLines, joinsOnlyWhereOneLineEndsAndOneStartsAlone) {
    // A chain of three, then a branch at 3: the lines there stay apart.
    EXPECT_EQ(joinedText(kPoints + "l 1 2\nl 2 3\nl 3 4\nl 3 5\n"), "c 1 2 3\nc 3 4\nc 3 5\n");
    // Lines out of order join in the place of the first line of the curve,
    // and a face keeps its place among them.
    EXPECT_EQ(joinedText(kPoints + "l 3 4\nf 1 5 7\nl 1 2 3\n"), "f 1 5 7\nc 1 2 3 4\n");
    // A line passing through the meeting point keeps the others apart.
    EXPECT_EQ(joinedText(kPoints + "l 1 2\nl 2 3\nl 5 2 6\n"), "c 1 2\nc 2 3\nc 5 2 6\n");
    // Two lines ending at one point (drawn towards each other) do not join.
    EXPECT_EQ(joinedText(kPoints + "l 1 2\nl 3 2\n"), "c 1 2\nc 3 2\n");
    // Different materials stay apart.
    EXPECT_EQ(joinedText(kPoints + "usemtl A\nl 1 2\nusemtl B\nl 2 3\n"), "c 1 2\nc 2 3/B\n");
    // A ring opens at its first line in file order.
    EXPECT_EQ(joinedText(kPoints + "l 2 3\nl 3 1\nl 1 2\n"), "c 2 3 1 2\n");
    // A closed line and a line of one point join nothing.
    EXPECT_EQ(joinedText(kPoints + "l 1 2 1\nl 3\nl 3 4\n"), "c 1 2 1\nc 3\nc 3 4\n");
}
