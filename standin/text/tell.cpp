// Lines the command prints on standard error from more than one folder.
#include "standin/text/tell.h"

#include <cstdio>

#include "standin/text/escape.h"

namespace standin {

void tellNotWritten(const std::string &path, const std::string &why) {
    std::fprintf(stderr, "spindle: %s: cannot be written (%s)\n", escapeControls(path).c_str(),
                 escapeControls(why).c_str());
}

} // namespace standin
