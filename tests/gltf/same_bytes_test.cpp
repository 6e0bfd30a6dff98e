// The glTF of an example, pinned to its bytes: a Linux build and both
// Windows builds must write the very same file.  The rig's angles come
// from the module's correctly rounded functions and the numbers' text from
// std::to_chars; a change here is a change in what every platform writes.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>

#include "gltf/gltf_check.h"
#include "support/module.h"
#include "support/support.h"

namespace {

uint64_t digest(const std::string &bytes) {
    uint64_t hash = 0xcbf29ce484222325ull; // FNV-1a
    for (unsigned char byte : bytes)
        hash = (hash ^ byte) * 0x100000001b3ull;
    return hash;
}

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

} // namespace

TEST(GltfBytes, theBodysRigIsTheSameFileOnEveryPlatform) {
    testsupport::TempDir folder;
    const std::string model = testsupport::join(folder.path, "body.lwo");
    ASSERT_TRUE(testsupport::writeFile(model, testsupport::readFile(std::string(SPINDLE_EXAMPLES) + "/body.lwo")));
    const std::string glb = testsupport::join(folder.path, "body.glb");
    const testsupport::CommandRun run = testsupport::runSpindle({"-q", "--gltf", glb, model});
    ASSERT_EQ(run.status, 0) << run.err;
    char line[32];
    std::snprintf(line, sizeof line, "%016" PRIx64, digest(pinnedBytes(testsupport::readFile(glb))));
    EXPECT_EQ(std::string(line), "b6a5a30fdc3ffc91");
}
