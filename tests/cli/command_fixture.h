// The fixture of the command's tests: a fresh folder for models and scenes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/support.h"

class Command : public testing::Test {
  protected:
    std::string model(const std::string &name, const std::string &text) {
        const std::string path = testsupport::join(folder, name);
        testsupport::writeFile(path, text);
        return path;
    }

    // Two curves: a spine of three points and an arm from its middle.
    std::string rig() {
        return model("rig.obj", "v 0 0 0\nv 0 1 0\nv 0 2 0\nv 1 1 0\nusemtl Spine\nl 1 2 3\nusemtl Arm\nl 2 4\n");
    }

    testsupport::TempDir temp;
    std::string folder = temp.path;
};
