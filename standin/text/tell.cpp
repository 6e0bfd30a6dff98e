// Lines the command prints on standard error from more than one folder.
#include "standin/text/tell.h"

#include <cstdio>

#include "standin/text/escape.h"

namespace standin {

void tellFileProblem(const std::string &path, const std::string &reason) {
    std::fprintf(stderr, "spindle: %s: %s\n", escapeControls(path).c_str(), escapeControls(reason).c_str());
}

void tellNotWritten(const std::string &path, const std::string &why) {
    tellFileProblem(path, "cannot be written (" + why + ")");
}

} // namespace standin
