// Safe file writing on Windows: paths are text in the ANSI code page, as
// the command was given them.
#include "standin/platform/safe_file.h"

#include <windows.h>

#include "standin/platform/platform.h"

namespace standin::platform {

namespace {

bool writeAll(HANDLE file, const std::vector<std::string_view> &pieces) {
    for (std::string_view piece : pieces) {
        const char *bytes = piece.data();
        size_t size = piece.size();
        while (size > 0) {
            const DWORD want = size > 0x40000000 ? 0x40000000 : DWORD(size);
            DWORD done = 0;
            if (!WriteFile(file, bytes, want, &done, nullptr))
                return false;
            if (done == 0) {
                SetLastError(ERROR_DISK_FULL);
                return false;
            }
            bytes += done;
            size -= done;
        }
    }
    return true;
}

} // namespace

bool writeFileSafely(const std::string &path, const std::vector<std::string_view> &pieces, std::string &why) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        why = platform::errorText(ERROR_ACCESS_DENIED);
        return false;
    }
    const size_t start = platform::nameStart(path);
    const std::string folder = start > 0 ? path.substr(0, start) : std::string();
    for (unsigned attempt = 0;; ++attempt) {
        const std::string temporary =
            folder + ".spindle-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
        HANDLE file =
            CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS && attempt < 100)
                continue;
            why = platform::errorText(int(GetLastError()));
            return false;
        }
        bool written = writeAll(file, pieces) && FlushFileBuffers(file);
        DWORD error = GetLastError();
        if (!CloseHandle(file) && written) {
            written = false;
            error = GetLastError();
        }
        if (written && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        if (written)
            error = GetLastError();
        DeleteFileA(temporary.c_str());
        why = platform::errorText(int(error));
        return false;
    }
}

} // namespace standin::platform
