// Text from a file or the user printed as one line: what every message of
// the command and every line of the transcript passes through.
#pragma once

#include <string>

namespace standin {

// The text with CR as \r, LF as \n and every other control byte as \xNN,
// so that it prints as one line.
std::string escapeControls(const std::string &text);

} // namespace standin
