// Safe replacement of the scene file on Windows.  The scene goes to a
// temporary file beside the file it replaces, is flushed to the disk and
// moved over it with MoveFileExW; where the folder takes no new file, or the
// move is refused, the file is written in place and its old bytes are put
// back if the new ones cannot be written.
//
// The path is the bytes the panel gives, read in the ANSI code page as the
// modeler hands them over; the names kept in SceneOutput are UTF-8.
#include <cstdint>
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "module/scene/scene.h"

namespace spindle {

namespace {

constexpr int kTemporaryTries = 100;
constexpr int kMoveTries = 10; // a move refused for a moment (another writer's move) is tried again
constexpr DWORD kMoveRetryMs = 10;

std::wstring widen(const std::string &text, UINT codePage) {
    if (text.empty())
        return std::wstring();
    const int length = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string narrowUtf8(const std::wstring &text) {
    if (text.empty())
        return std::string();
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string narrow(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length, nullptr,
                          nullptr);
    return narrow;
}

// The path as the system's calls take it: past MAX_PATH, the full path
// behind "\\?\" (or "\\?\UNC\"), which lifts the limit.
std::wstring systemPath(const std::wstring &path) {
    if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0)
        return path;
    const DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return path;
    std::wstring full(length, L'\0');
    const DWORD written = ::GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length)
        return path;
    full.resize(written);
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

HANDLE handleOf(const SceneOutput &out) { return reinterpret_cast<HANDLE>(out.file); }

void closeFile(SceneOutput &out, bool &ok) {
    if (out.file != -1 && !::CloseHandle(handleOf(out)))
        ok = false;
    out.file = -1;
}

// The folder part of a path, with its separator: "C:\\scenes\\" of
// "C:\\scenes\\a.lws", "C:" of "C:a.lws", nothing for a bare name.
std::wstring folderOf(const std::wstring &path) {
    const std::size_t separator = path.find_last_of(L"\\/:");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

// The final name of an open file, through links and junctions, or empty.
std::wstring finalPathOf(HANDLE file) {
    wchar_t buffer[MAX_PATH + 1];
    DWORD length = ::GetFinalPathNameByHandleW(file, buffer, MAX_PATH + 1, FILE_NAME_NORMALIZED);
    if (length == 0)
        return std::wstring();
    if (length <= MAX_PATH)
        return std::wstring(buffer, length);
    std::wstring longer(length, L'\0');
    length = ::GetFinalPathNameByHandleW(file, longer.data(), length, FILE_NAME_NORMALIZED);
    longer.resize(length < longer.size() ? length : 0);
    return longer;
}

bool writeAll(HANDLE file, const char *bytes, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(file, bytes, chunk, &written, nullptr) || written == 0)
            return false;
        bytes += written;
        size -= written;
    }
    return true;
}

bool readAll(HANDLE file, std::string &bytes) {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > bytes.max_size())
        return false;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t left = bytes.size() - done;
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD read = 0;
        if (!::ReadFile(file, bytes.data() + done, chunk, &read, nullptr) || read == 0)
            return false;
        done += read;
    }
    return true;
}

bool rewind(HANDLE file) {
    LARGE_INTEGER start;
    start.QuadPart = 0;
    return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) != 0;
}

// Starts a temporary ".spindle-XXXXXX" in `folder`, a name no other file has.
bool openTemporary(const std::wstring &folder, SceneOutput &out) {
    static unsigned serial = 0;
    for (int attempt = 0; attempt < kTemporaryTries; ++attempt) {
        const unsigned mixed =
            (::GetCurrentProcessId() * 2654435761u) ^ (::GetTickCount() * 40503u) ^ (++serial * 69069u);
        wchar_t name[16];
        static const wchar_t digits[] = L"0123456789abcdefghijklmnopqrstuvwxyz";
        unsigned rest = mixed;
        for (int i = 0; i < 6; ++i, rest /= 36)
            name[i] = digits[rest % 36];
        name[6] = L'\0';
        const std::wstring temporary = folder + L".spindle-" + name;
        const HANDLE file =
            ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            out.file = reinterpret_cast<std::intptr_t>(file);
            out.temporary = narrowUtf8(temporary);
            return true;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

// Opens the target itself for writing in place, without truncating it.
bool openInPlace(SceneOutput &out, bool create) {
    const std::wstring target = widen(out.target, CP_UTF8);
    // Shared for reading only, so that two writers in place never interleave.
    HANDLE file = ::CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                create ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && !create) // a device that gives nothing to read
        file = ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    out.file = reinterpret_cast<std::intptr_t>(file);
    out.created = create;
    return true;
}

// Writes the scene over the target's old content; if that fails, puts the
// old bytes back where the disk allows.
bool writeInPlace(SceneOutput &out, const char *bytes, std::size_t size) {
    const HANDLE file = handleOf(out);
    const bool disk = ::GetFileType(file) == FILE_TYPE_DISK;
    std::string old;
    const bool haveOld = disk && !out.created && readAll(file, old) && rewind(file);
    bool written = (!disk || out.created || haveOld) && writeAll(file, bytes, size);
    if (written && disk)
        written = ::SetEndOfFile(file) && ::FlushFileBuffers(file);
    if (!written && haveOld && rewind(file) && writeAll(file, old.data(), old.size()))
        ::SetEndOfFile(file);
    closeFile(out, written);
    if (!written && out.created)
        ::DeleteFileW(widen(out.target, CP_UTF8).c_str());
    return written;
}

void removeTemporary(SceneOutput &out) {
    if (!out.temporary.empty())
        ::DeleteFileW(widen(out.temporary, CP_UTF8).c_str());
    out.temporary.clear();
}

} // namespace

bool openSceneOutput(const char *path, SceneOutput &out) {
    out = SceneOutput{};
    const std::string given = path;
    if (given.empty() || given.back() == '\\' || given.back() == '/')
        return false;
    const std::wstring wide = systemPath(widen(given, CP_ACP));
    if (wide.empty())
        return false;
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            out.target = narrowUtf8(wide);
            return openTemporary(folderOf(wide), out) || openInPlace(out, true);
        }
        // A missing folder, a name the system refuses; what has no
        // attributes but may still be opened (a named pipe) is tried below.
        if (error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME || error == ERROR_BAD_PATHNAME ||
            error == ERROR_ACCESS_DENIED)
            return false;
    }
    // A folder is no scene file, and a read-only file may not be written
    // (the attribute is checked as well as the open below, since a
    // privileged user's open may get past it).
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return false;
    // Ask whether the file may be written, without touching its content: a
    // read-only file, or one another program holds open without sharing,
    // may not.  A link at the path is kept: the file it leads to is the one
    // replaced, and the temporary goes beside that file.
    const HANDLE probe =
        ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return false;
    const bool disk = ::GetFileType(probe) == FILE_TYPE_DISK;
    std::wstring target = disk ? finalPathOf(probe) : std::wstring();
    ::CloseHandle(probe);
    if (target.empty())
        target = wide;
    out.target = narrowUtf8(target);
    // Devices (NUL, CON) are written as they are; so is a file whose folder
    // takes no new file.
    if (disk && openTemporary(folderOf(target), out))
        return true;
    return openInPlace(out, false);
}

bool commitSceneOutput(SceneOutput &out, const char *bytes, std::size_t size) {
    if (out.temporary.empty())
        return writeInPlace(out, bytes, size);
    bool written = writeAll(handleOf(out), bytes, size) && ::FlushFileBuffers(handleOf(out));
    closeFile(out, written);
    bool moveRefused = false;
    for (int attempt = 0; written && attempt < kMoveTries; ++attempt) {
        if (attempt > 0)
            ::Sleep(kMoveRetryMs);
        if (::MoveFileExW(widen(out.temporary, CP_UTF8).c_str(), widen(out.target, CP_UTF8).c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            out.temporary.clear();
            return true;
        }
        const DWORD error = ::GetLastError();
        moveRefused = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        if (!moveRefused)
            break;
    }
    removeTemporary(out);
    // The file may be written but not replaced (another program holds it
    // open without allowing a delete, or the folder refuses the move):
    // write it in place.
    return moveRefused && openInPlace(out, false) && writeInPlace(out, bytes, size);
}

void abandonSceneOutput(SceneOutput &out) {
    bool ignored = true;
    closeFile(out, ignored);
    if (!out.temporary.empty())
        removeTemporary(out);
    else if (out.created)
        ::DeleteFileW(widen(out.target, CP_UTF8).c_str());
    out = SceneOutput{};
}

} // namespace spindle
