// The stand-in's system calls on Windows.  Paths arrive as the bytes the
// command was given, in the ANSI code page; they are turned into UTF-16 only
// here, for the W functions.  Reasons are the system's own messages
// (FormatMessageW), turned back into the ANSI code page.
#include "standin/platform/platform.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace standin::platform {

namespace {

// (Empty text converts to empty text: the calls refuse a length of 0.)
std::wstring wide(const std::string &text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring out(size_t(std::max(length, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), out.data(), length);
    return out;
}

// `lossy`, when given, tells whether a character had no form in the code page.
std::string narrow(const std::wstring &text, bool *lossy = nullptr) {
    BOOL usedDefault = FALSE;
    BOOL *used = lossy && GetACP() != CP_UTF8 ? &usedDefault : nullptr; // UTF-8 takes no default character
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, used);
    std::string out(size_t(std::max(length, 0)), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), out.data(), length, nullptr, used);
    if (lossy)
        *lossy = usedDefault != FALSE;
    return out;
}

// The system's message for `code` on one line, without its final full stop;
// a "%1" in it stands for `subject`.
std::string systemText(DWORD code, const std::wstring &subject = {}) {
    wchar_t *buffer = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length = FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::wstring text = length && buffer ? std::wstring(buffer, length) : std::wstring();
    LocalFree(buffer);
    for (size_t at = text.find(L"%1"); at != std::wstring::npos; at = text.find(L"%1", at + subject.size()))
        text.replace(at, 2, subject);
    std::replace_if(
        text.begin(), text.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }, L' ');
    while (!text.empty() && text.back() == L' ')
        text.pop_back();
    if (!text.empty() && text.back() == L'.')
        text.pop_back();
    return text.empty() ? "system error " + std::to_string(code) : narrow(text);
}

bool failed(std::string &why, const std::wstring &subject = {}) {
    why = systemText(GetLastError(), subject);
    return false;
}

std::wstring fullPath(const std::wstring &path) {
    std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
    const DWORD length = full.empty() ? 0 : GetFullPathNameW(path.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return path;
    full.resize(length);
    return full;
}

// A full path as the W functions take it whatever its length: behind "\\?\"
// where it is too long for them otherwise.
std::wstring unlimited(const std::wstring &full) {
    if (full.size() < MAX_PATH || full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0)
        return full;
    return full.rfind(L"\\\\", 0) == 0 ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
}

// The path as the W functions take it.
std::wstring native(const std::string &path) {
    const std::wstring given = wide(path), full = fullPath(given);
    return full.size() < MAX_PATH ? given : unlimited(full);
}

// Opens what `path` names, through links, sharing it with every other
// reader and writer; folders open as well.
HANDLE openPath(const std::string &path, DWORD access) {
    return CreateFileW(native(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool kindOf(HANDLE handle, FileKind &kind, std::string &why) {
    switch (GetFileType(handle)) {
    case FILE_TYPE_DISK: {
        BY_HANDLE_FILE_INFORMATION info;
        if (!GetFileInformationByHandle(handle, &info))
            return failed(why);
        kind = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? FileKind::Folder : FileKind::Regular;
        return true;
    }
    case FILE_TYPE_CHAR: kind = FileKind::Device; return true;
    case FILE_TYPE_PIPE: kind = FileKind::Stream; return true;
    default: kind = FileKind::Other; return GetLastError() == NO_ERROR || failed(why);
    }
}

} // namespace

std::string errorText(int code) { return systemText(DWORD(code)); }

char separator() { return '\\'; }

std::size_t nameStart(const std::string &path) {
    std::size_t start = 0;
    if (path.size() >= 2 && path[1] == ':' && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z'))
        start = 2;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (c == '/' || c == '\\')
            start = i + 1;
        else if (IsDBCSLeadByte(BYTE(c)) && i + 1 < path.size())
            ++i; // the second byte of a double-byte character may look like '\'
    }
    return start;
}

std::string programPath() {
    std::wstring self(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, self.data(), DWORD(self.size()))) == self.size() &&
           self.size() < 32768)
        self.resize(self.size() * 2); // cut short: try a longer buffer
    if (length == 0 || length >= self.size())
        return "";
    self.resize(length);
    bool lossy = false;
    std::string path = narrow(self, &lossy);
    if (lossy) {
        // A folder whose name the code page cannot spell: its short name can.
        std::wstring brief(self.size() + 1, L'\0');
        length = GetShortPathNameW(self.c_str(), brief.data(), DWORD(brief.size()));
        if (length > 0 && length < brief.size()) {
            brief.resize(length);
            path = narrow(brief);
        }
    }
    return path;
}

bool readable(const std::string &path) {
    const HANDLE handle = openPath(path, GENERIC_READ);
    return handle != INVALID_HANDLE_VALUE && CloseHandle(handle);
}

bool fileKind(const std::string &path, FileKind &kind, std::string &why) {
    const HANDLE handle = openPath(path, FILE_READ_ATTRIBUTES);
    if (handle == INVALID_HANDLE_VALUE)
        return failed(why);
    const bool told = kindOf(handle, kind, why);
    CloseHandle(handle);
    return told;
}

bool sameFile(const std::string &a, const std::string &b) {
    BY_HANDLE_FILE_INFORMATION info[2];
    const std::string *paths[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        const HANDLE handle = openPath(*paths[i], FILE_READ_ATTRIBUTES);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        const bool told = GetFileInformationByHandle(handle, &info[i]);
        CloseHandle(handle);
        if (!told)
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
        info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

InputFile::~InputFile() {
    if (HANDLE(handle_) != INVALID_HANDLE_VALUE)
        CloseHandle(HANDLE(handle_));
}

bool InputFile::open(const std::string &path, std::string &why) {
    const HANDLE handle = openPath(path, GENERIC_READ);
    if (handle == INVALID_HANDLE_VALUE)
        return failed(why);
    handle_ = std::intptr_t(handle);
    if (!kindOf(handle, kind_, why))
        return false;
    LARGE_INTEGER size{};
    if (kind_ == FileKind::Regular && !GetFileSizeEx(handle, &size))
        return failed(why);
    size_ = kind_ == FileKind::Regular && size.QuadPart > 0 ? uint64_t(size.QuadPart) : 0;
    return true;
}

bool InputFile::read(void *into, std::size_t want, std::size_t &got, std::string &why) {
    DWORD n = 0;
    if (!ReadFile(HANDLE(handle_), into, DWORD(std::min<std::size_t>(want, 1u << 30)), &n, nullptr)) {
        const DWORD error = GetLastError();
        if (error != ERROR_BROKEN_PIPE && error != ERROR_HANDLE_EOF) // a pipe's writer has gone: its end
            return failed(why);
    }
    got = n;
    return true;
}

FileView::~FileView() {
    if (address_)
        UnmapViewOfFile(address_);
}

bool FileView::map(const InputFile &file, std::uint64_t size) {
    if (address_ || file.kind_ != FileKind::Regular || size == 0 || size > SIZE_MAX / 2)
        return false;
    // The mapping object lives as long as its view.
    const HANDLE mapping = CreateFileMappingW(HANDLE(file.handle_), nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping)
        return false;
    void *address = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, SIZE_T(size));
    CloseHandle(mapping);
    if (!address)
        return false;
    address_ = address;
    size_ = std::size_t(size);
    return true;
}

// Nothing to do: while a view is mapped, the system refuses to make its
// file shorter.
void whenMappedFileCut(const std::string &, int) {}

bool writeWholeFile(const std::string &path, const std::string &bytes, std::string &why) {
    const HANDLE handle = CreateFileW(native(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failed(why);
    // Emptied rather than created anew, so that a hidden file may be written.
    DWORD error = GetFileType(handle) != FILE_TYPE_DISK || SetEndOfFile(handle) ? NO_ERROR : GetLastError();
    for (size_t at = 0; error == NO_ERROR && at < bytes.size();) {
        DWORD n = 0;
        const DWORD want = DWORD(std::min<size_t>(bytes.size() - at, 1u << 30));
        error = !WriteFile(handle, bytes.data() + at, want, &n, nullptr) ? GetLastError()
            : n == 0                                                     ? ERROR_WRITE_FAULT
                                                                         : NO_ERROR;
        at += n;
    }
    if (!CloseHandle(handle) && error == NO_ERROR)
        error = GetLastError();
    if (error != NO_ERROR)
        why = systemText(error);
    return error == NO_ERROR;
}

void *openLibrary(const std::string &path, std::string &why) {
    // The file at the path, not a search of the system's folders, and no
    // ".dll" put after a name without an extension.
    std::wstring file = fullPath(wide(path));
    const size_t name = file.find_last_of(L"\\/");
    if (file.find(L'.', name == std::wstring::npos ? 0 : name) == std::wstring::npos)
        file += L'.';
    file = unlimited(file);
    DWORD before = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &before);
    const HMODULE library = LoadLibraryW(file.c_str());
    const DWORD error = GetLastError();
    SetThreadErrorMode(before, nullptr);
    if (!library)
        why = systemText(error, wide(path));
    return library;
}

void *findSymbol(void *library, const char *name) {
    return reinterpret_cast<void *>(GetProcAddress(HMODULE(library), name));
}

void closeLibrary(void *library) { FreeLibrary(HMODULE(library)); }

} // namespace standin::platform
