// The glTF of an example, pinned to its bytes: a Linux build and both
// Windows builds must write the very same file as data/body.glb.  The rig's
// angles come from the module's correctly rounded functions and the
// numbers' text from std::to_chars; a change here is a change in what every
// platform writes (then write the file again with
// `spindle -q --gltf tests/gltf/data/body.glb examples/body.lwo`, on Linux).
#include <gtest/gtest.h>

#include <algorithm>

#include "gltf/gltf_check.h"
#include "support/module.h"
#include "support/support.h"

namespace {

// The GLB's JSON without the generator's value (which names the version)
// or the padding after it, then its binary chunk: the bytes that do not
// change from one release to the next unless the output does.
std::string pinnedBytes(const std::string &glb) {
    if (glb.size() < 20)
        return glb;
    const size_t jsonLength = gltfcheck::word(glb, 12);
    std::string json = glb.substr(20, jsonLength);
    const std::string key = "\"generator\":\"";
    if (const size_t at = json.find(key); at != std::string::npos)
        json.erase(at + key.size(), json.find('"', at + key.size()) - at - key.size());
    json.erase(json.find_last_not_of(' ') + 1);
    return json + glb.substr(std::min(glb.size(), 20 + jsonLength));
}

// Success when the pinned bytes of two GLB files are the same; otherwise
// where they first part, counted in the pinned bytes.
testing::AssertionResult samePinnedBytes(const std::string &actual, const std::string &expected) {
    const std::string a = pinnedBytes(actual), e = pinnedBytes(expected);
    if (a == e)
        return testing::AssertionSuccess();
    const size_t at =
        size_t(std::mismatch(a.begin(), a.begin() + std::min(a.size(), e.size()), e.begin()).first - a.begin());
    return testing::AssertionFailure() << "the files part at byte " << at << " of " << a.size() << " (expected "
                                       << e.size() << "): " << (at < a.size() ? int(uint8_t(a[at])) : -1)
                                       << " where the golden file has " << (at < e.size() ? int(uint8_t(e[at])) : -1);
}

} // namespace

TEST(GltfBytes, theBodysRigIsTheSameFileOnEveryPlatform) {
    testsupport::TempDir folder;
    const std::string model = testsupport::join(folder.path, "body.lwo");
    ASSERT_TRUE(testsupport::writeFile(model, testsupport::readFile(std::string(SPINDLE_EXAMPLES) + "/body.lwo")));
    const std::string glb = testsupport::join(folder.path, "body.glb");
    const testsupport::CommandRun run = testsupport::runSpindle({"-q", "--gltf", glb, model});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(samePinnedBytes(testsupport::readFile(glb),
                                testsupport::readFile(std::string(SPINDLE_SOURCE_DIR) + "/tests/gltf/data/body.glb")));
}
