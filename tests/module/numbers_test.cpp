// The scene's digits on every platform: a few thousand generated rigs, run
// through the real module, must give the very bytes the reference build
// gave.  The digests of those scenes are stored in tests/data/numbers; a
// last bit of a sine that differs between two maths libraries can move a
// sixth decimal or turn "0.000000" into "-0.000000", and shows up here.
//
// SPINDLE_WRITE_DIGESTS=FILE writes the digests of this build to FILE
// instead of comparing them (how the stored file was made).
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/module.h"
#include "support/support.h"

using testsupport::FreshModule;
using testsupport::turn;
using testsupport::type;

namespace {

constexpr int kRigs = 3000;

// A small generator of its own, so that every platform draws the same rigs.
struct Draw {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
    float unit() { return static_cast<float>(next() >> 40) / static_cast<float>(1 << 24); } // [0, 1)
};

// The step from one curve point to the next, by the rig's kind: any
// direction, along the axes only, within a hair of an axis, or on the
// diagonals of the axis planes.
std::array<float, 3> step(Draw &draw, int kind) {
    std::array<float, 3> d = {0, 0, 0};
    const int axis = draw.below(3);
    const float sign = draw.below(2) ? 1.0f : -1.0f;
    const float length = 0.25f * static_cast<float>(1 + draw.below(12));
    switch (kind) {
    case 0:
        for (float &c : d)
            c = (draw.unit() * 2 - 1) * 5;
        break;
    case 1: d[axis] = sign * length; break;
    case 2:
        d[axis] = sign * length;
        d[(axis + 1) % 3] = (draw.unit() - 0.5f) * 1e-5f;
        break;
    default:
        d[axis] = sign * length;
        d[(axis + 1 + draw.below(2)) % 3] = (draw.below(2) ? 1 : -1) * length;
        break;
    }
    return d;
}

// Rig `index`: up to six curves; every curve after the first starts at a
// point of an earlier one, so the rig is one hierarchy with branches.
standin::Mesh rig(int index) {
    Draw draw{static_cast<uint64_t>(index) * 7919u + 1};
    const int kind = index % 4;
    std::vector<std::array<double, 3>> points = {{0, 0, 0}};
    if (kind == 0)
        points[0] = {(draw.unit() - 0.5f) * 8, draw.unit() * 8, (draw.unit() - 0.5f) * 8};
    std::vector<testsupport::TestCurve> curves;
    const int curveCount = 1 + draw.below(6);
    for (int c = 0; c < curveCount; ++c) {
        testsupport::TestCurve curve;
        curve.surface = c % 3 == 2 ? "Part" + std::to_string(c) + "_NG" : "Part" + std::to_string(c);
        const int length = 2 + draw.below(6);
        curve.startControl = length > 2 && draw.below(5) == 0;
        uint32_t at = c == 0 ? 0u : static_cast<uint32_t>(draw.below(static_cast<int>(points.size())));
        curve.points.push_back(at);
        for (int p = 1; p < length; ++p) {
            const std::array<float, 3> d = step(draw, kind);
            const std::array<double, 3> &from = points[at];
            points.push_back({static_cast<float>(from[0] + d[0]), static_cast<float>(from[1] + d[1]),
                              static_cast<float>(from[2] + d[2])});
            at = static_cast<uint32_t>(points.size() - 1);
            curve.points.push_back(at);
        }
        curves.push_back(curve);
    }
    return testsupport::curveMesh(points, curves);
}

// The switches of rig `index`: every combination of the four that change
// the numbers or the records, in turn.
std::vector<standin::PanelEdit> switches(int index, const std::string &scene) {
    return {type(testsupport::kSceneFile, scene), turn(testsupport::kGoalObjects, index & 1),
            turn(testsupport::kGoalBones, index & 2), turn(testsupport::kOptimizeGoalParent, index & 4),
            turn(testsupport::kNgSuffix, index & 8)};
}

uint64_t digest(const std::string &bytes) {
    uint64_t hash = 0xcbf29ce484222325ull; // FNV-1a
    for (unsigned char byte : bytes)
        hash = (hash ^ byte) * 0x100000001b3ull;
    return hash;
}

} // namespace

TEST(Numbers, generatedRigsGiveTheReferenceBytes) {
    const char *writeTo = std::getenv("SPINDLE_WRITE_DIGESTS");
    std::vector<std::string> expected;
    if (!writeTo) {
        std::istringstream stored(testsupport::readFile(SPINDLE_TEST_DATA "/numbers/digests.txt"));
        for (std::string line; std::getline(stored, line);)
            expected.push_back(line);
        ASSERT_EQ(expected.size(), static_cast<size_t>(kRigs));
    }
    FreshModule loaded;
    testsupport::TempDir folder;
    const std::string scene = testsupport::join(folder.path, "rig.lws");
    std::string written;
    int differing = 0;
    for (int index = 0; index < kRigs; ++index) {
        const standin::Mesh mesh = rig(index);
        standin::HostConfig config = testsupport::quietConfig(&mesh);
        config.keepTranscript = false;
        config.edits = switches(index, scene);
        const standin::RunResult host = standin::runCommand(loaded.module, config);
        ASSERT_EQ(host.messages.size(), 1u) << "rig " << index;
        ASSERT_EQ(host.messages[0].text, "Scene file created.") << "rig " << index;
        const std::string bytes = testsupport::readFile(scene);
        ASSERT_EQ(bytes.find("nan"), std::string::npos) << "rig " << index << " has a number that is no number";
        char line[32];
        std::snprintf(line, sizeof line, "%016" PRIx64, digest(bytes));
        if (writeTo) {
            written += std::string(line) + "\n";
        } else if (expected[static_cast<size_t>(index)] != line && ++differing <= 10) {
            ADD_FAILURE() << "rig " << index << " gives other bytes than the reference build";
        }
    }
    EXPECT_EQ(differing, 0) << "of " << kRigs << " rigs";
    if (writeTo) {
        ASSERT_TRUE(testsupport::writeFile(writeTo, written));
    }
}
