// The fixture of the command's fault tests: a fresh folder with a small rig
// model, the scene a clean run writes for it, and the names left in a folder.
#pragma once

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/module.h"
#include "support/support.h"

namespace faultstest {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class Faults : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(folder.empty());
        fs::permissions(folder, fs::perms::all);
        model = testsupport::join(folder, "rig.obj");
        ASSERT_TRUE(testsupport::writeFile(
            model, "v 0 0 0\nv 0 1 0\nv 0 2 0\nv 1 1 0\nusemtl Spine\nl 1 2 3\nusemtl Arm\nl 2 4\n"));
        scene = testsupport::join(folder, "rig.lws");
    }

    // The scene a clean run writes for the rig.
    std::string wholeScene() {
        const std::string reference = testsupport::join(folder, "reference.lws");
        EXPECT_EQ(testsupport::runSpindle({"-o", reference, model}).status, 0);
        std::string bytes = testsupport::readFile(reference);
        fs::remove(reference);
        return bytes;
    }
    // The names in `in`, sorted, temporaries included.
    static Names names(const std::string &in) { return testsupport::namesIn(in); }
    static std::string cantOpen(const std::string &path) { return "Can't open \"" + path + "\". \n"; }
    static std::string cantWrite(const std::string &path) { return "Can't write \"" + path + "\". \n"; }
#if !defined(_WIN32)
    // A user who owns none of the test's files; 0 when the tests cannot
    // switch users.
    static unsigned stranger() { return geteuid() == 0 ? 65534u : 0u; }
    // A copy of the command and its module that the stranger can run, in a
    // folder of its own: the build tree may sit where only its owner can
    // reach it (a clone in root's home).
    std::string strangersCommand() {
        const std::string &strangersFolder = strangers.emplace().path;
        fs::permissions(strangersFolder, fs::perms(0755));
        const std::string command = testsupport::join(strangersFolder, "spindle");
        const std::string module = testsupport::join(strangersFolder, "Spindle.p");
        fs::copy_file(SPINDLE_COMMAND_PATH, command);
        fs::copy_file(SPINDLE_MODULE_PATH, module);
        for (const std::string &file : {command, module})
            fs::permissions(file, fs::perms(0755));
        return command;
    }
    std::optional<testsupport::TempDir> strangers;
#endif

    testsupport::TempDir temp;
    std::string folder = temp.path, model, scene;
};

} // namespace faultstest
