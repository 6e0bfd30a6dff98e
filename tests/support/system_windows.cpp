// The test support's calls into Windows: temporary folders, links, sparse
// files, a full volume and files held open.  Runs of the command are in
// command_windows.cpp.
#include "support/module.h"
#include "support/support.h"
#include "support/system_windows.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

namespace testsupport {

namespace windows {

std::wstring wide(const std::string &text) {
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(length > 0 ? length : 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), out.data(), length);
    return out;
}

std::string narrow(const std::wstring &text) {
    if (text.empty())
        return {};
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(length > 0 ? length : 0), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), out.data(), length, nullptr, nullptr);
    return out;
}

// A fresh name for a folder of this process's.
std::wstring freshName() {
    static std::atomic<unsigned> serial{0};
    return L"spindle-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial) + L"-" +
        std::to_wstring(GetTickCount() % 100000);
}

} // namespace windows

namespace {

using windows::freshName;
using windows::narrow;
using windows::wide;
namespace fs = std::filesystem;

// Makes a fresh folder in `parent` (which ends in a separator).
std::string makeFolderIn(const std::wstring &parent) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring path = parent + freshName();
        if (CreateDirectoryW(path.c_str(), nullptr))
            return narrow(path);
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
    return {};
}

// The bytes free on the volume of `folder`, 0 when it cannot be told.
// (std::filesystem::space asks about the drive's root, which under Wine is
// the volume of /, not the one mounted at the folder.)
std::uint64_t freeBytes(const std::string &folder) {
    ULARGE_INTEGER available{};
    return GetDiskFreeSpaceExW(wide(folder + "\\").c_str(), &available, nullptr, nullptr) ? available.QuadPart : 0;
}

} // namespace

namespace {
// Removes what `path` (behind "\\?\" where it has a drive letter, so that
// no part of it is held to MAX_PATH) names, folders with all they hold.
void removeNative(const std::wstring &path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW found;
    const HANDLE search = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? INVALID_HANDLE_VALUE
                                                                      : FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..")
                removeNative(path + L"\\" + name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}
} // namespace

void removeTree(const std::string &path) {
    std::wstring native = wide(path);
    for (wchar_t &c : native)
        c = c == L'/' ? L'\\' : c;
    while (native.size() > 3 && native.back() == L'\\')
        native.pop_back();
    if (native.size() > 2 && native[1] == L':' && native[2] == L'\\')
        native = L"\\\\?\\" + native;
    if (!native.empty())
        removeNative(native);
}

bool growSparse(const std::string &path, std::uint64_t size) {
    const HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD ignored = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr); // where the volume knows them
    LARGE_INTEGER end;
    end.QuadPart = LONGLONG(size);
    const bool grown = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return grown;
}

std::string makeTempDir() {
    wchar_t base[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, base);
    if (length == 0 || length > MAX_PATH)
        return {};
    return makeFolderIn(std::wstring(base, length));
}

std::string noSuchFileText() {
    wchar_t *buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, ERROR_FILE_NOT_FOUND, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::wstring text = length && buffer ? std::wstring(buffer, length) : std::wstring();
    LocalFree(buffer);
    for (wchar_t &c : text)
        c = c == L'\r' || c == L'\n' ? L' ' : c;
    while (!text.empty() && text.back() == L' ')
        text.pop_back();
    if (!text.empty() && text.back() == L'.')
        text.pop_back();
    return narrow(text);
}

bool makeLink(const std::string &target, const std::string &at) {
    std::wstring to = wide(target);
    for (wchar_t &c : to)
        c = c == L'/' ? L'\\' : c;
    const std::wstring link = wide(at);
    if (!CreateSymbolicLinkW(link.c_str(), to.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        return false;
    const DWORD attributes = GetFileAttributesW(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

FullVolume::FullVolume() {
    const char *named = std::getenv("SPINDLE_FULL_VOLUME");
    if (!named || !*named) {
        reason = "no small volume to fill: Windows has no file-size limit, and SPINDLE_FULL_VOLUME names no folder "
                 "on a volume of its own (scripts/test mounts a small tmpfs for it where it may)";
        return;
    }
    const std::string root = named;
    const HANDLE lock = CreateFileW(wide(join(root, ".spindle-test-lock")).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED whole{};
    if (lock == INVALID_HANDLE_VALUE || !LockFileEx(lock, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
        reason = "SPINDLE_FULL_VOLUME (" + root + ") takes no lock file";
        if (lock != INVALID_HANDLE_VALUE)
            CloseHandle(lock);
        return;
    }
    lock_ = lock;
    // Made first, while the volume still takes new files.
    filler_ = join(root, ".spindle-test-filler");
    names_ = join(root, ".spindle-test-names");
    std::error_code error;
    fs::remove_all(names_, error);
    fs::create_directory(names_, error);
    const std::string made = makeFolderIn(wide(root) + L"\\");
    // What one byte costs is the volume's block.
    const std::uint64_t before = freeBytes(root);
    const bool filler = writeFile(filler_, "x");
    const std::uint64_t after = freeBytes(root);
    if (made.empty() || !filler || after >= before || !fs::is_directory(names_)) {
        reason = "SPINDLE_FULL_VOLUME (" + root + ") is no volume whose free space a file uses up";
        fs::remove(made, error);
        return;
    }
    block = before - after;
    folder = made;
}

FullVolume::~FullVolume() {
    std::error_code ignored;
    if (!folder.empty())
        fs::remove_all(folder, ignored);
    if (lock_) {
        fs::remove_all(names_, ignored);
        fs::remove(filler_, ignored);
        OVERLAPPED whole{};
        UnlockFileEx(HANDLE(lock_), 0, 1, 0, &whole);
        CloseHandle(HANDLE(lock_));
    }
}

bool FullVolume::leave(std::uint64_t bytes) {
    // The filler is emptied, not made anew, since the volume may take no new file.
    std::ofstream out(filler_, std::ios::binary | std::ios::trunc);
    out.flush();
    const std::uint64_t available = freeBytes(folder);
    if (!out || bytes > available || (available - bytes) % block != 0)
        return false;
    const std::string chunk(64 * 1024, 'f');
    for (std::uint64_t left = available - bytes; left > 0 && out;) {
        const size_t n = size_t(std::min<std::uint64_t>(left, chunk.size()));
        out.write(chunk.data(), std::streamsize(n));
        left -= n;
    }
    out.close();
    return out && freeBytes(folder) == bytes;
}

bool FullVolume::takeNoNewFile() {
    for (int made = 0; made < 5000; ++made)
        if (!writeFile(join(names_, std::to_string(made)), ""))
            return true;
    return false;
}

HeldFile::HeldFile(const std::string &path, Sharing sharing)
    : handle_(CreateFileW(wide(path).c_str(), GENERIC_READ, sharing == Nothing ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}

HeldFile::~HeldFile() {
    if (held())
        CloseHandle(HANDLE(handle_));
}

bool HeldFile::held() const { return HANDLE(handle_) != INVALID_HANDLE_VALUE; }

} // namespace testsupport
