// Points near the ends of a float's range still give unit normals, and
// weights that sum to 1.
#include "standin/geometry/distance_weights.h"
#include "standin/geometry/normals.h"
#include "standin/geometry/segment_tree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace standin::geometry;

TEST(FloatRange, pointsFarApartGiveUnitNormalsAndWeightsThatSumToOne) {
    // A triangle in the plane z = 0, counter-clockwise seen from +z, whose
    // sides' cross product (some 1e77) a float cannot hold.
    const std::vector<float> positions = {3e38f, 0, 0, 0, 3e38f, 0, -3e38f, -3e38f, 0};
    const uint32_t indices[] = {0, 1, 2};
    std::vector<float> normals;
    vertexNormals(positions.data(), 3, indices, 3, normals);
    EXPECT_EQ(normals, (std::vector<float>{0, 0, 1, 0, 0, 1, 0, 0, 1}));

    // Bound to a bone at the origin and another as far out.
    SkinBone centre, far;
    centre.tip = {0, 1, 0};
    centre.joint = 1;
    far.base = {3e38f, 1, 0};
    far.tip = {3e38f, 2, 0};
    far.joint = 2;
    const SegmentTree tree = segmentTree({centre, far});
    const SkinWeights skin = skinWeights(tree, positions.data(), 3, boxDiagonal(positions.data(), 3));
    for (size_t v = 0; v < 3; ++v) {
        const float *w = &skin.weights[4 * v];
        EXPECT_TRUE(std::isfinite(w[0]) && std::isfinite(w[1]) && w[2] == 0 && w[3] == 0) << "vertex " << v;
        EXPECT_NEAR(w[0] + w[1], 1.0f, 2.5e-7f) << "vertex " << v;
    }
}
