// Model files written once per process into a temporary folder and removed
// at exit, so that the readers are timed on the real path: the file's size,
// one read, and the parse.
#pragma once

#include <string>

namespace benchmodel {

// The path of a file holding `bytes`, written on first use under `name`.
const std::string &benchFile(const std::string &name, const std::string &bytes);
// Whether a file of that name was already written.
bool haveBenchFile(const std::string &name);

} // namespace benchmodel
