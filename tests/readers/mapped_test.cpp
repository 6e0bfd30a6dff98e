// A model larger than the first bytes the format is told from is read from
// its file's mapped pages: the same mesh as from its bytes, sound whatever
// another program writes into the file meanwhile, and a file cut short under
// the mesh ends the process with the line it was given (Windows refuses to
// cut it).
#include "readers/bytes.h"
#include "support/mesh_check.h"
#include "support/support.h"

#include "standin/platform/platform.h"
#include "standin/readers/read_mesh.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace readertest;
using standin::Mesh;

namespace {

// 70,000 points (wide indices past 0xFF00), then quads over them: about
// 1 MB, the polygon chunk last.
constexpr uint32_t kPoints = 70000, kQuads = 20000;

struct LargeModel {
    std::string bytes;
    size_t polygonsAt = 0; // the first polygon's byte offset
};

LargeModel largeModel() {
    Bytes pnts, pols;
    for (uint32_t i = 0; i < kPoints; ++i)
        pnts.points({float(i), float(i % 7), -float(i % 11)});
    pols.id("FACE");
    for (uint32_t q = 0; q < kQuads; ++q) {
        const uint32_t first = (q * 3) % (kPoints - 3);
        pols.u2(4).vx(first).vx(first + 1).vx(first + 2).vx(kPoints - 1 - q);
    }
    Bytes body;
    body.chunk("PNTS", pnts);
    const size_t polsAt = 12 + body.size();
    body.chunk("POLS", pols);
    return {form("LWO2", body), polsAt + 8 + 4};
}

} // namespace

TEST(MappedModel, readsAsFromItsBytesAndStaysSoundWhenOverwrittenInPlace) {
    const testsupport::TempDir dir;
    const std::string path = dir.path + "/large.lwo";
    const LargeModel model = largeModel();
    ASSERT_GT(model.bytes.size(), 512u * 1024);
    ASSERT_TRUE(testsupport::writeFile(path, model.bytes));

    Mesh mapped, copied;
    std::string reason;
    ASSERT_TRUE(standin::readMesh(path, mapped, reason)) << reason;
    ASSERT_TRUE(readString(model.bytes, copied, reason)) << reason;
    ASSERT_EQ(mapped.layers.size(), 1u);
    ASSERT_EQ(mapped.layers[0].pointCount, kPoints);
    ASSERT_EQ(mapped.layers[0].polygonCount(), kQuads);
    const std::vector<standin::PolygonData> fromMap = mapped.polygons(0), fromCopy = copied.polygons(0);
    for (size_t p = 0; p < kQuads; p += 97)
        EXPECT_EQ(fromMap[p].points, fromCopy[p].points) << p;
    for (size_t i = 0; i < kPoints; i += 101)
        EXPECT_EQ(mapped.point(0, i), copied.point(0, i)) << i;
    EXPECT_EQ(mapped.point(0, kPoints - 1), copied.point(0, kPoints - 1));

    // Every count and index turned into 0xFF bytes after the file was read:
    // the walk stays within the polygon chunk, at the points it had.
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(std::streamoff(model.polygonsAt));
        file << std::string(model.bytes.size() - model.polygonsAt, '\xFF');
        ASSERT_TRUE(file.flush());
    }
    EXPECT_EQ(testsupport::meshFault(true, mapped, ""), "");
    EXPECT_EQ(mapped.polygon(0, 0).points.size(), 1023u);
    EXPECT_EQ(mapped.polygon(0, 0).points.front(), kPoints - 1);
}

#if defined(_WIN32)
TEST(MappedModel, fileCannotBeCutShortUnderTheMesh) {
    const testsupport::TempDir dir;
    const std::string path = dir.path + "/large.lwo";
    const LargeModel model = largeModel();
    ASSERT_TRUE(testsupport::writeFile(path, model.bytes));
    Mesh mesh, copied;
    std::string reason;
    ASSERT_TRUE(standin::readMesh(path, mesh, reason)) << reason;
    ASSERT_TRUE(readString(model.bytes, copied, reason)) << reason;
    std::error_code error;
    std::filesystem::resize_file(path, 0, error);
    EXPECT_TRUE(error);
    EXPECT_EQ(std::filesystem::file_size(path), model.bytes.size());
    EXPECT_EQ(mesh.point(0, kPoints - 1), copied.point(0, kPoints - 1));
}
#else
TEST(MappedModel, fileCutShortUnderTheMeshEndsTheProcessWithItsLine) {
    const testsupport::TempDir dir;
    const std::string path = dir.path + "/large.lwo";
    ASSERT_TRUE(testsupport::writeFile(path, largeModel().bytes));
    EXPECT_EXIT(
        {
            standin::platform::whenMappedFileCut("spindle: large.lwo: cut short", 2);
            Mesh mesh;
            std::string reason;
            if (!standin::readMesh(path, mesh, reason))
                std::exit(9);
            std::filesystem::resize_file(path, 0);
            std::exit(mesh.point(0, kPoints - 1)[0] == 0 ? 7 : 8);
        },
        testing::ExitedWithCode(2), "^spindle: large.lwo: cut short\n$");
}
#endif
