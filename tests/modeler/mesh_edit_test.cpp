// The stand-in's mesh edit on its own: the point ids its scan hands out and
// the polygon record it fills, whatever the layers and whatever the module
// does from within its callback.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "readers/bytes.h"
#include "standin/modeler/mesh_edit.h"
#include "standin/readers/read_mesh.h"
#include "standin/mesh/run_walker.h"
#include "support/mesh_check.h"
#include "support/support.h"

namespace {

// A mesh edit begun over `mesh` through the stand-in's command context.
struct EditOver {
    standin::Transcript transcript;
    standin::HostConfig config;
    standin::MeshEditSession session;
    MeshEditOp *edit = nullptr;
    explicit EditOver(const standin::Mesh &mesh) {
        transcript.keep = false;
        config.mesh = &mesh;
        session.config = &config;
        session.transcript = &transcript;
        edit = standin::commandContext(session)->editBegin(0, 0, 1);
    }
    EditOver(const EditOver &) = delete;
    EditOver &operator=(const EditOver &) = delete;
};

// Every point the scan hands out names its own layer and position, for
// layers of every size around the mesh edit's blocks of 4096 points (many
// layers starting in one block, a layer spanning several, empty layers),
// and ids of no point are refused.
TEST(MeshEdit, everyPointIdFindsItsLayerAndPositionWhateverTheLayerSizes) {
    const size_t sizes[] = {3, 4093, 1, 0, 0, 1, 4097, 2, 9000, 0, 5};
    standin::Mesh mesh;
    const uint32_t face = standin::kFace;
    for (size_t l = 0; l < std::size(sizes); ++l) {
        mesh.addLayer(int32_t(l + 1));
        std::vector<uint32_t> all;
        for (uint32_t i = 0; i < sizes[l]; ++i) {
            mesh.addPoint(double(l), double(i), -double(i));
            all.push_back(i);
        }
        mesh.addPolygon(face, mesh.surfaceNamed("S"), all.data(), all.size());
    }
    EditOver over(mesh);
    MeshEditOp *edit = over.edit;
    ASSERT_NE(edit, nullptr);
    struct Seen {
        MeshEditOp *edit = nullptr;
        size_t polygons = 0, points = 0, wrong = 0;
        std::set<PointId> ids;
    } seen;
    seen.edit = edit;
    auto check = [](void *data, const PolygonInfo *polygon) -> int32_t {
        Seen &s = *static_cast<Seen *>(data);
        ++s.polygons;
        for (int32_t i = 0; i < polygon->numPoints; ++i, ++s.points) {
            const PointInfo *info = s.edit->pointInfo(s.edit->state, polygon->points[i]);
            s.ids.insert(polygon->points[i]);
            if (!info || info->point != polygon->points[i] || info->layer != polygon->layer ||
                info->position[0] != double(polygon->layer - 1) || info->position[1] != double(i) ||
                info->position[2] != -double(i))
                ++s.wrong;
        }
        return 0;
    };
    EXPECT_EQ(edit->polyScan(edit->state, check, &seen, HOST_LAYERS_FOREGROUND), 0);
    EXPECT_EQ(seen.polygons, std::size(sizes));
    EXPECT_EQ(seen.points, mesh.pointCount());
    EXPECT_EQ(seen.ids.size(), mesh.pointCount());
    EXPECT_EQ(seen.wrong, 0u);
    for (uintptr_t bad : {uintptr_t(0), uintptr_t(mesh.pointCount() + 1), ~uintptr_t(0)})
        EXPECT_EQ(edit->pointInfo(edit->state, reinterpret_cast<PointId>(bad)), nullptr);
    edit->done(edit->state, 0, 0);
}

TEST(MeshEdit, recordStaysWholeWhenTheModuleScansAgainOrEndsTheEditInItsCallback) {
    readertest::Bytes pols;
    pols.id("FACE");
    for (uint16_t k = 0; k < 3; ++k)
        pols.u2(3).vx(k).vx((k + 1) % 3).vx((k + 2) % 3);
    standin::Mesh mesh;
    std::string reason;
    ASSERT_TRUE(readertest::readString(
        readertest::form("LWO2",
                         readertest::Bytes()
                             .chunk("PNTS", readertest::Bytes().points({0, 0, 0, 1, 0, 0, 0, 1, 0}))
                             .chunk("POLS", pols)),
        mesh, reason))
        << reason;
    // A second layer with a polygon larger than any a file's bytes can
    // give, so that a scan of it needs a larger room for its points.
    mesh.addLayer(2);
    mesh.addPoint(0, 0, 1);
    const std::vector<uint32_t> many(standin::kMostCodedIndices + 1, 0);
    mesh.addPolygon(standin::kFace, 0, many.data(), many.size());

    EditOver over(mesh);
    MeshEditOp *edit = over.edit;
    ASSERT_NE(edit, nullptr);
    struct Seen {
        MeshEditOp *edit;
        int polygons;
        std::string ids;
        static std::string idsOf(const PolygonInfo *polygon) {
            std::string ids;
            for (int32_t i = 0; i < polygon->numPoints; ++i)
                ids += std::to_string(reinterpret_cast<uintptr_t>(polygon->points[i])) + " ";
            return ids;
        }
    } seen{edit, 0, {}};
    auto check = [](void *data, const PolygonInfo *polygon) -> int32_t {
        Seen &s = *static_cast<Seen *>(data);
        if (polygon->layer != 1)
            return 0;
        const std::string before = Seen::idsOf(polygon);
        if (++s.polygons == 1)
            s.edit->polyScan(
                s.edit->state, [](void *, const PolygonInfo *) { return 0; }, nullptr, 1);
        if (s.polygons == 2)
            s.edit->done(s.edit->state, 0, 0);
        s.ids += Seen::idsOf(polygon) == before ? before + "| " : "changed | ";
        return 0;
    };
    EXPECT_EQ(edit->polyScan(edit->state, check, &seen, HOST_LAYERS_FOREGROUND), 0);
    EXPECT_EQ(seen.ids, "1 2 3 | 2 3 1 | 3 1 2 | ");
}

} // namespace
