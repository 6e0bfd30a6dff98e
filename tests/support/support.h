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

} // namespace testsupport
