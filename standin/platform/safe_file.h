// Writing a whole file safely from pieces: into a temporary file beside it,
// synced, then moved over it, so that a reader sees the old file or the
// whole new one, and a failure leaves nothing behind.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace standin::platform {

// Writes the pieces, one after another, as the whole file at `path`.  A
// link at the path is kept and the file it leads to replaced; a path that
// is not a regular file (a device, a FIFO) is written in place.  False with
// the system's reason, and no temporary file left.
bool writeFileSafely(const std::string &path, const std::vector<std::string_view> &pieces, std::string &why);

} // namespace standin::platform
