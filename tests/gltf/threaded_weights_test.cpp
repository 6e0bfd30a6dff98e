// The distance weights of a mesh large enough that two threads bind its
// vertices: each vertex comes out as it does in a small mesh bound on one
// thread, at either end of both threads' shares and across the split.
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "gltf/gltf_check.h"
#include "support/module.h"
#include "support/support.h"

using gltfcheck::list;
using gltfcheck::sizeOf;

namespace {

constexpr int kSide = 320; // 102,400 points, past the 100,000 where a second thread starts

// A flat grid of kSide x kSide points under a chain of four bones along its
// diagonal, with the quads of the rows that `keep` takes.
template <typename Keep>
std::string gridObj(Keep keep) {
    std::string obj;
    for (int j = 0; j < kSide; ++j)
        for (int i = 0; i < kSide; ++i)
            obj += "v " + std::to_string(i * 0.01) + " " + std::to_string(j * 0.01) + " 0\n";
    for (int k = 0; k <= 4; ++k)
        obj += "v " + std::to_string(k * 0.8) + " " + std::to_string(k * 0.8) + " 0.3\n";
    const int chain = kSide * kSide + 1;
    obj += "l " + std::to_string(chain) + " " + std::to_string(chain + 1) + " " + std::to_string(chain + 2) + " " +
        std::to_string(chain + 3) + " " + std::to_string(chain + 4) + "\n";
    for (int j = 0; j + 1 < kSide; ++j) {
        if (!keep(j))
            continue;
        for (int i = 0; i + 1 < kSide; ++i) {
            const int a = j * kSide + i + 1;
            obj += "f " + std::to_string(a) + " " + std::to_string(a + 1) + " " + std::to_string(a + kSide + 1) + " " +
                std::to_string(a + kSide) + "\n";
        }
    }
    return obj;
}

using Binding = std::tuple<double, double, double, double>; // four joints, or four weights

// Each vertex's joints and weights, by its position.
std::map<std::tuple<double, double, double>, std::pair<Binding, Binding>> bindings(const std::string &glb,
                                                                                   size_t &vertices) {
    gltfcheck::GltfFile file;
    EXPECT_EQ(gltfcheck::checkGltf(testsupport::readFile(glb), file), "");
    const auto &meshes = list(file.json, "meshes");
    EXPECT_EQ(meshes.size(), 1u);
    const auto &attributes = *list(meshes.at(0), "primitives").at(0).get("attributes");
    const std::vector<double> p = gltfcheck::accessorValues(file, sizeOf(attributes, "POSITION"));
    const std::vector<double> j = gltfcheck::accessorValues(file, sizeOf(attributes, "JOINTS_0"));
    const std::vector<double> w = gltfcheck::accessorValues(file, sizeOf(attributes, "WEIGHTS_0"));
    vertices = p.size() / 3;
    std::map<std::tuple<double, double, double>, std::pair<Binding, Binding>> out;
    for (size_t v = 0; v < vertices; ++v)
        out[{p[3 * v], p[3 * v + 1], p[3 * v + 2]}] = {{j[4 * v], j[4 * v + 1], j[4 * v + 2], j[4 * v + 3]},
                                                       {w[4 * v], w[4 * v + 1], w[4 * v + 2], w[4 * v + 3]}};
    return out;
}

TEST(ThreadedWeights, twoThreadsBindEachVertexAsOneThreadDoes) {
    testsupport::TempDir temp;
    // The split falls near 60 % of the vertices, rows 190 to 193 here.
    const auto some = [](int j) { return j < 3 || (j >= 180 && j < 200) || j >= kSide - 4; };
    size_t counts[2] = {};
    std::map<std::tuple<double, double, double>, std::pair<Binding, Binding>> bound[2];
    for (int small = 0; small < 2; ++small) {
        const std::string obj = testsupport::join(temp.path, small ? "some.obj" : "all.obj");
        ASSERT_TRUE(testsupport::writeFile(obj, small ? gridObj(some) : gridObj([](int) { return true; })));
        const testsupport::CommandRun run =
            testsupport::runSpindle({"-q", "-o", obj + ".lws", "--weights", "distance", "--gltf", obj + ".glb", obj});
        ASSERT_EQ(run.status, 0) << run.err;
        bound[small] = bindings(obj + ".glb", counts[small]);
    }
    ASSERT_GT(counts[0], 100000u);
    ASSERT_LT(counts[1], 100000u);
    size_t compared = 0;
    for (const auto &[place, binding] : bound[1]) {
        const auto found = bound[0].find(place);
        ASSERT_NE(found, bound[0].end());
        EXPECT_EQ(found->second, binding) << std::get<0>(place) << " " << std::get<1>(place);
        ++compared;
    }
    EXPECT_EQ(compared, counts[1]);
}

} // namespace
