// Whole files read through InputFile, the same on every platform.
#include "standin/platform/platform.h"

#include <algorithm>

namespace standin::platform {

bool InputFile::readAll(std::string &text, std::string &why, std::size_t limit) {
    text.clear();
    // A regular file's room at once; what it gains meanwhile is read as well.
    if (kind_ == FileKind::Regular)
        text.reserve(std::size_t(std::min<std::uint64_t>(size_, limit)));
    char buffer[64 * 1024];
    while (text.size() < limit) {
        std::size_t got = 0;
        if (!read(buffer, std::min(sizeof buffer, limit - text.size()), got, why))
            return false;
        if (got == 0)
            break;
        text.append(buffer, got);
    }
    return true;
}

bool readWholeFile(const std::string &path, std::string &text, std::string &why, std::size_t limit) {
    InputFile file;
    return file.open(path, why) && file.readAll(text, why, limit);
}

} // namespace standin::platform
