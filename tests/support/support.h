// Shared helpers of the test programs.
#pragma once

#include <string>

namespace testsupport {

// Reads a whole file into a string (binary); empty when it cannot be read.
std::string readFile(const std::string &path);

// Writes a whole file (binary); false on failure.
bool writeFile(const std::string &path, const std::string &bytes);

// A fresh empty folder under the build's temporary space, removed by the
// caller's fixture as it likes; its path has no trailing slash.
std::string makeTempDir();

// A fresh empty folder, removed with everything in it on destruction.
struct TempDir {
    TempDir() : path(makeTempDir()) {}
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string path;
};

} // namespace testsupport
