// Skin weights: the tree finds exactly the nearest bones, and each vertex's
// weights favour them and sum to 1.
#include "standin/geometry/segment_tree.h"
#include "standin/geometry/distance_weights.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

using namespace standin::geometry;

namespace {

// Bones at random, some of no length and some repeated (ties), over a box.
std::vector<SkinBone> randomBones(std::mt19937 &random, size_t count) {
    std::uniform_real_distribution<float> at(-1, 1), step(-0.2f, 0.2f);
    std::vector<SkinBone> bones;
    for (size_t i = 0; i < count; ++i) {
        SkinBone b;
        if (i % 7 == 6) {
            b = bones[i / 2];
        } else {
            b.base = {at(random), at(random), at(random)};
            b.tip = b.base;
            if (i % 5 != 4)
                b.tip = {b.base[0] + step(random), b.base[1] + step(random), b.base[2] + step(random)};
        }
        b.joint = uint16_t(i + 1);
        bones.push_back(b);
    }
    return bones;
}

void expectSame(const Nearest &a, const Nearest &b) {
    ASSERT_EQ(a.count, b.count);
    for (uint32_t i = 0; i < a.count; ++i) {
        EXPECT_EQ(a.bone[i], b.bone[i]);
        EXPECT_EQ(a.distance2[i], b.distance2[i]);
    }
}

} // namespace

TEST(SkinWeights, treeFindsExactlyWhatBruteForceFinds) {
    std::mt19937 random(21);
    std::uniform_real_distribution<double> at(-1.5, 1.5);
    for (size_t bones : {1u, 3u, 4u, 5u, 40u, 700u}) {
        const SegmentTree tree = segmentTree(randomBones(random, bones));
        Nearest previous;
        for (int k = 0; k < 2000; ++k) {
            // Every fourth point sits on a bone's base, where ties are.
            double p[3] = {at(random), at(random), at(random)};
            if (k % 4 == 0)
                for (int a = 0; a < 3; ++a)
                    p[a] = tree.segments[size_t(k) % bones].base[a];
            const Nearest brute = nearestByBruteForce(tree, p);
            expectSame(nearestBones(tree, p), brute);
            expectSame(nearestBones(tree, p, &previous), brute);
            previous = brute;
        }
    }
}

TEST(SkinWeights, weightsSumToOneAndFavourTheNearestBones) {
    // A closed box's surface, sampled densely, around a chain of bones up
    // its middle, and random points far and near.
    std::vector<float> positions;
    for (int i = 0; i <= 20; ++i)
        for (int j = 0; j <= 20; ++j)
            for (float side : {-1.0f, 1.0f}) {
                const float u = -1 + 0.1f * float(i), v = -1 + 0.1f * float(j);
                positions.insert(positions.end(), {side, u, v, u, side, v, u, v, side});
            }
    std::mt19937 random(4);
    std::uniform_real_distribution<float> at(-30, 30);
    for (int k = 0; k < 300; ++k)
        positions.insert(positions.end(), {at(random), at(random), at(random)});
    const size_t count = positions.size() / 3;
    for (size_t chain : {2u, 6u}) {
        std::vector<SkinBone> bones;
        for (size_t b = 0; b < chain; ++b) {
            SkinBone s;
            s.base = {0, -0.9f + 1.8f * float(b) / float(chain), 0.01f};
            s.tip = {0, -0.9f + 1.8f * float(b + 1) / float(chain), 0.01f};
            s.joint = uint16_t(chain == 2 ? 10 + b : 300 + b); // narrow, then wide joint numbers
            bones.push_back(s);
        }
        const SegmentTree tree = segmentTree(bones);
        const SkinWeights skin = skinWeights(tree, positions.data(), count, boxDiagonal(positions.data(), count));
        ASSERT_EQ(skin.weights.size(), 4 * count);
        EXPECT_EQ(skin.joints8.size(), chain == 2 ? 4 * count : 0);
        EXPECT_EQ(skin.joints16.size(), chain == 2 ? 0 : 4 * count);
        for (size_t v = 0; v < count; ++v) {
            const float *w = &skin.weights[4 * v];
            // Within two of a float's steps at 1, as glTF readers add them.
            EXPECT_NEAR(w[0] + w[1] + w[2] + w[3], 1.0f, 2.5e-7f) << "vertex " << v;
            // Heaviest first (the first took the others' rounding).
            EXPECT_TRUE(w[0] >= w[1] - 2.5e-7f && w[1] >= w[2] && w[2] >= w[3] && w[3] >= 0) << "vertex " << v;
            const double p[3] = {positions[3 * v], positions[3 * v + 1], positions[3 * v + 2]};
            const Nearest n = nearestByBruteForce(tree, p);
            // Slot by slot the nearest bones, so the heaviest is the nearest.
            for (size_t i = 0; i < 4; ++i) {
                const uint16_t joint = chain == 2 ? skin.joints8[4 * v + i] : skin.joints16[4 * v + i];
                // Fewer than four bones: the rest weigh nothing, joint 0.
                EXPECT_EQ(joint, i < n.count ? bones[n.bone[i]].joint : 0);
                if (i >= n.count) {
                    EXPECT_EQ(w[i], 0.0f);
                }
            }
        }
        // The order of the vertices changes nothing.
        std::vector<size_t> order(count);
        std::iota(order.begin(), order.end(), size_t(0));
        std::shuffle(order.begin(), order.end(), random);
        std::vector<float> shuffled;
        for (size_t v : order)
            shuffled.insert(shuffled.end(), &positions[3 * v], &positions[3 * v + 3]);
        const SkinWeights again = skinWeights(tree, shuffled.data(), count, boxDiagonal(positions.data(), count));
        for (size_t k = 0; k < count; ++k)
            for (size_t i = 0; i < 4; ++i)
                ASSERT_EQ(again.weights[4 * k + i], skin.weights[4 * order[k] + i]) << k;
    }
}
