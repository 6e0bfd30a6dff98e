// The model's mesh in the glTF, end to end: a box around a chain from LWO2
// and from OBJ, read back from the file itself; the corpus models' faces
// through `spindle show`.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "gltf/box_model.h"
#include "gltf/gltf_check.h"
#include "standin/mesh/mesh.h"
#include "standin/scene_reader/rig.h"
#include "standin/scene_reader/scene_reader.h"
#include "support/module.h"
#include "support/support.h"

using gltfcheck::JsonValue;
using gltfcheck::list;
using gltfcheck::sizeOf;

namespace {

double segmentDistance(const double p[3], const standin::Vec3 &a, const standin::Vec3 &b) {
    double along[3], w[3], dot = 0, length2 = 0;
    for (int k = 0; k < 3; ++k) {
        along[k] = b[size_t(k)] - a[size_t(k)];
        w[k] = p[k] - a[size_t(k)];
        dot += w[k] * along[k];
        length2 += along[k] * along[k];
    }
    const double t = length2 > 0 ? std::clamp(dot / length2, 0.0, 1.0) : 0.0;
    double d2 = 0;
    for (int k = 0; k < 3; ++k)
        d2 += (w[k] - t * along[k]) * (w[k] - t * along[k]);
    return std::sqrt(d2);
}

class GltfMesh : public testing::Test {
  protected:
    gltfcheck::GltfFile readBack(const std::string &path) {
        gltfcheck::GltfFile file;
        EXPECT_EQ(gltfcheck::checkGltf(testsupport::readFile(path), file), "") << path;
        return file;
    }
    testsupport::TempDir temp;
    std::string folder = temp.path;
};

} // namespace

TEST_F(GltfMesh, boxAroundChainFacesOutwardsAndEachVertexLeansMostOnItsNearestBone) {
    const gltftest::BoxModel box = gltftest::boxModel();
    ASSERT_TRUE(testsupport::writeFile(testsupport::join(folder, "box.mtl"), gltftest::boxMtl()));
    for (const std::string model : {"box.lwo", "box.obj"}) {
        SCOPED_TRACE(model);
        const bool obj = model == "box.obj";
        const std::string path = testsupport::join(folder, model), glb = path + ".glb", scene = path + ".lws";
        ASSERT_TRUE(testsupport::writeFile(path, obj ? gltftest::boxObj(box) : gltftest::boxLwo2(box)));
        const testsupport::CommandRun run = testsupport::runSpindle({"-q", "-o", scene, "--gltf", glb, path});
        ASSERT_EQ(run.status, 0) << run.err;
        const gltfcheck::GltfFile file = readBack(glb);

        // One untransformed mesh node among the scene's roots, skinned.
        const auto &nodes = list(file.json, "nodes");
        const auto &roots = list(list(file.json, "scenes").at(0), "nodes");
        ASSERT_EQ(roots.size(), 2u);
        const JsonValue &node = nodes.at(size_t(roots[1].number));
        EXPECT_EQ(node.get("translation"), nullptr);
        EXPECT_EQ(node.get("rotation"), nullptr);
        ASSERT_NE(node.get("skin"), nullptr);
        const auto &primitives = list(list(file.json, "meshes").at(sizeOf(node, "mesh")), "primitives");
        ASSERT_EQ(primitives.size(), 1u);
        const JsonValue &attributes = *primitives[0].get("attributes");
        const JsonValue &material = list(file.json, "materials").at(sizeOf(primitives[0], "material"));
        EXPECT_EQ(material.get("name")->text, "Body");
        const auto &colour = list(*material.get("pbrMetallicRoughness"), "baseColorFactor");
        for (size_t c = 0; c < 3; ++c)
            EXPECT_NEAR(colour.at(c).number, gltftest::BoxModel::kColour[c], 1e-6);

        // Outwards: a positive volume, the box's own, from the file's triangles.
        const std::vector<double> p = gltfcheck::accessorValues(file, sizeOf(attributes, "POSITION"));
        const std::vector<double> index = gltfcheck::accessorValues(file, sizeOf(primitives[0], "indices"));
        ASSERT_EQ(index.size(), 3 * 2 * box.quads.size());
        double volume = 0;
        for (size_t t = 0; t < index.size(); t += 3) {
            const double *a = &p[3 * size_t(index[t])], *b = &p[3 * size_t(index[t + 1])],
                         *c = &p[3 * size_t(index[t + 2])];
            volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                       a[2] * (b[0] * c[1] - b[1] * c[0])) /
                6;
        }
        EXPECT_NEAR(volume, gltftest::BoxModel::kVolume, 1e-5);

        // The deforming bones, by joint: the scene's bones in file order.
        standin::Scene read;
        std::string reason;
        ASSERT_TRUE(standin::readScene(scene, read, reason)) << reason;
        const standin::RigPlacement placed = standin::placeRig(read);
        std::vector<std::pair<standin::Vec3, standin::Vec3>> segment;
        std::vector<bool> deforms;
        for (size_t i = 0; i < read.items.size(); ++i) {
            const standin::SceneItem &item = read.items[i];
            if (item.kind != standin::ItemKind::Bone)
                continue;
            const double z = obj ? 1 : -1;
            segment.push_back({{placed.base[i][0], placed.base[i][1], z * placed.base[i][2]},
                               {placed.tip[i][0], placed.tip[i][1], z * placed.tip[i][2]}});
            deforms.push_back(item.active && item.strength != 0);
        }
        ASSERT_EQ(std::count(deforms.begin(), deforms.end(), true), 3);
        const std::vector<double> joints = gltfcheck::accessorValues(file, sizeOf(attributes, "JOINTS_0"));
        const std::vector<double> weights = gltfcheck::accessorValues(file, sizeOf(attributes, "WEIGHTS_0"));
        ASSERT_EQ(weights.size(), 4 * p.size() / 3);
        for (size_t v = 0; v < p.size() / 3; ++v) {
            double sum = 0, nearest = 1e300;
            size_t heaviest = 0;
            for (size_t k = 0; k < 4; ++k) {
                sum += weights[4 * v + k];
                if (weights[4 * v + k] > weights[4 * v + heaviest])
                    heaviest = k;
                if (weights[4 * v + k] > 0) {
                    EXPECT_TRUE(deforms.at(size_t(joints[4 * v + k]))) << "vertex " << v;
                }
            }
            EXPECT_NEAR(sum, 1.0, 1e-6) << "vertex " << v;
            for (size_t b = 0; b < segment.size(); ++b)
                if (deforms[b])
                    nearest = std::min(nearest, segmentDistance(&p[3 * v], segment[b].first, segment[b].second));
            const size_t bone = size_t(joints[4 * v + heaviest]);
            EXPECT_NEAR(segmentDistance(&p[3 * v], segment.at(bone).first, segment.at(bone).second), nearest, 1e-5)
                << "vertex " << v;
        }
    }
}

TEST_F(GltfMesh, showTakesTheSceneObjectsFacesBesideTheSceneOrTheRigAlone) {
    // Each face of n points is n - 2 triangles; a model without faces, and
    // a null object, give the rig alone without a word.
    for (const std::string name :
         {"simple_cube.lwo", "concave_polygon.lwo", "LWOB_ConcavePolygon.lwo", "lines.obj", ""}) {
        SCOPED_TRACE(name);
        size_t triangles = 0;
        if (!name.empty()) {
            const std::string model = testsupport::join(folder, name);
            ASSERT_TRUE(testsupport::writeFile(model,
                                               name == "lines.obj"
                                                   ? std::string("v 0 0 0\nv 0 1 0\nv 1 1 0\nl 1 2 3\n")
                                                   : testsupport::readFile(SPINDLE_TEST_DATA "/" + name)));
            standin::Mesh mesh;
            std::string reason;
            ASSERT_TRUE(standin::readMesh(model, mesh, reason)) << reason;
            for (size_t l = 0; l < mesh.layers.size(); ++l)
                for (const standin::PolygonData &polygon : mesh.polygons(l))
                    if (polygon.type == readertest::kFace && polygon.points.size() >= 3)
                        triangles += polygon.points.size() - 2;
        }
        const std::string scene = testsupport::join(folder, name + ".lws");
        ASSERT_TRUE(testsupport::writeFile(
            scene,
            "LWSC\n3\n\nFirstFrame 1\nLastFrame 60\n" +
                (name.empty() ? "AddNullObject null\n" : "LoadObjectLayer 1 " + name + "\n") + "ShowObject 6 7\n"));
        const std::string glb = testsupport::join(folder, name + ".glb");
        const testsupport::CommandRun run = testsupport::runSpindle({"show", scene, "-o", glb});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out + run.err, "");
        const gltfcheck::GltfFile file = readBack(glb);
        const auto &meshes = list(file.json, "meshes");
        ASSERT_EQ(meshes.size(), triangles > 0 ? 1u : 0u);
        size_t written = 0;
        for (const JsonValue &meshRecord : meshes)
            for (const JsonValue &primitive : list(meshRecord, "primitives"))
                written += sizeOf(list(file.json, "accessors").at(sizeOf(primitive, "indices")), "count") / 3;
        EXPECT_EQ(written, triangles);
        EXPECT_TRUE(list(file.json, "skins").empty()); // no bones: no skin
    }
}

TEST_F(GltfMesh, aSlotOfWeightZeroNamesJointZero) {
    // A face at 1e-300, which a float holds as 0, on the base of a chain:
    // the model's size is 0, so each vertex's nearest bone takes all its
    // weight, and the others' weights, too small for a float, are 0.
    const std::string model = testsupport::join(folder, "tiny.obj"), glb = model + ".glb";
    ASSERT_TRUE(testsupport::writeFile(model,
                                       "v 0 0 0\nv 0 1 0\nv 0 2 0\nv 0 3 0\n"
                                       "v 1e-300 2e-300 0\nv 3e-300 1e-300 0\nv 1e-300 1e-300 1e-300\n"
                                       "l 1 2 3 4\nf 5 6 7\n"));
    const testsupport::CommandRun run = testsupport::runSpindle({"-q", "--gltf", glb, model});
    ASSERT_EQ(run.status, 0) << run.err;
    const gltfcheck::GltfFile file = readBack(glb);
    const JsonValue &attributes = *list(list(file.json, "meshes").at(0), "primitives").at(0).get("attributes");
    const std::vector<double> joints = gltfcheck::accessorValues(file, sizeOf(attributes, "JOINTS_0"));
    const std::vector<double> weights = gltfcheck::accessorValues(file, sizeOf(attributes, "WEIGHTS_0"));
    ASSERT_EQ(weights.size(), 3u * 4);
    for (size_t v = 0; v < 3; ++v) {
        SCOPED_TRACE(v);
        // The first bone's joint (the skin's first), alone, with weight 1.
        EXPECT_EQ(std::vector<double>(weights.begin() + 4 * v, weights.begin() + 4 * v + 4),
                  (std::vector<double>{1, 0, 0, 0}));
        EXPECT_EQ(std::vector<double>(joints.begin() + 4 * v, joints.begin() + 4 * v + 4),
                  (std::vector<double>{0, 0, 0, 0}));
    }
}
