// Lines the command prints on standard error from more than one folder.
#pragma once

#include <string>

namespace standin {

// Prints "spindle: PATH: REASON" on standard error, path and reason
// escaped so that it stays one line: a file that cannot be read or used.
void tellFileProblem(const std::string &path, const std::string &reason);

// Prints "spindle: PATH: cannot be written (WHY)" on standard error, path
// and reason escaped so that it stays one line.
void tellNotWritten(const std::string &path, const std::string &why);

} // namespace standin
