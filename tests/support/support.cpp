#include "support/support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testsupport {

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool writeFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

} // namespace testsupport

// ---- module support --------------------------------------------------------

#include <filesystem>

#include "support/module.h"

namespace testsupport {

TempDir::~TempDir() { removeTree(path); }

FreshModule::FreshModule() {
    static int serial = 0;
    const std::string folder = makeTempDir();
    path = join(folder, "Spindle-" + std::to_string(++serial) + ".p");
    std::filesystem::copy_file(SPINDLE_MODULE_PATH, path);
    standin::loadModule(path, module, reason);
}

FreshModule::~FreshModule() {
    standin::unloadModule(module);
    removeTree(std::filesystem::path(path).parent_path().string());
}

standin::Mesh curveMesh(const std::vector<std::array<double, 3>> &points, const std::vector<TestCurve> &curves) {
    standin::Mesh mesh;
    mesh.format = "test";
    mesh.addLayer(1);
    for (const std::array<double, 3> &p : points)
        mesh.addPoint(p[0], p[1], p[2]);
    for (const TestCurve &curve : curves)
        mesh.addPolygon(HOST_POLY_CURVE, mesh.surfaceNamed(curve.surface), curve.points.data(), curve.points.size(),
                        curve.startControl);
    return mesh;
}

standin::HostConfig quietConfig(const standin::Mesh *mesh) {
    standin::HostConfig config;
    config.echoMessages = false;
    config.mesh = mesh;
    return config;
}

std::vector<std::string> linesStartingWith(const std::vector<std::string> &transcript, const std::string &prefix) {
    std::vector<std::string> found;
    for (const std::string &line : transcript)
        if (line.rfind(prefix, 0) == 0)
            found.push_back(line);
    return found;
}

} // namespace testsupport

// ---- the system's part: temporary folders, links, command runs -------------
// One implementation for Windows, one for POSIX systems; nothing above
// calls the system directly.

#include <chrono>
#include <thread>

#if defined(_WIN32)

#include <windows.h>

#include <atomic>
#include <mutex>

namespace testsupport {

namespace {

namespace fs = std::filesystem;

// Test paths are bytes in the ANSI code page, as the command takes them.
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

// One argument as the C runtime splits a command line: quoted where it is
// empty or holds a blank or a quote, with backslashes doubled before a quote
// and before the closing one.
std::wstring quoted(const std::wstring &argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
        out += c;
        slashes = 0;
    }
    out.append(2 * slashes, L'\\');
    return out + L'"';
}

// Everything a pipe delivers until its writer is gone.
void drain(HANDLE pipe, std::string &into) {
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0)
        into.append(buffer, n);
    CloseHandle(pipe);
}

// The bytes free on the volume of `folder`, 0 when it cannot be told.
// (std::filesystem::space asks about the drive's root, which under Wine is
// the volume of /, not the one mounted at the folder.)
std::uint64_t freeBytes(const std::string &folder) {
    ULARGE_INTEGER available{};
    return GetDiskFreeSpaceExW(wide(folder + "\\").c_str(), &available, nullptr, nullptr) ? available.QuadPart : 0;
}

// A child inherits every inheritable handle there is as it starts; the
// pipes of one run are inheritable only while its child is made, so that
// no other run's child holds them open.
std::mutex starting;

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

ServedPipe::ServedPipe(const std::string &text)
    : path("\\\\.\\pipe\\" + narrow(freshName())), text_(text), serving_(2) {
    // Two instances wait at any time, so that a program that connects again
    // at once (as after a look at what the path is) finds one.
    for (int i = 0; i < 2; ++i)
        servers_.emplace_back([this] { serve(); });
    // The pipe is there before the constructor returns: a thread may first
    // run a millisecond or more after it was started.
    while (listening_ < 2)
        Sleep(1);
}

ServedPipe::~ServedPipe() { close(); }

void ServedPipe::serve() {
    const std::wstring name = wide(path);
    bool listening = false;
    while (!stopping_) {
        const HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                                             PIPE_UNLIMITED_INSTANCES, 64 * 1024, 64 * 1024, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE)
            break;
        if (!listening) {
            listening = true;
            ++listening_;
        }
        const bool connected = ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
        DWORD n = 0;
        if (connected && !stopping_ && !text_.empty()) {
            for (size_t done = 0; done < text_.size(); done += n)
                if (!WriteFile(pipe, text_.data() + done, DWORD(std::min<size_t>(text_.size() - done, 1 << 16)), &n,
                               nullptr))
                    break;
            FlushFileBuffers(pipe);
        } else if (connected && !stopping_) {
            char buffer[4096];
            std::string got;
            while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0)
                got.append(buffer, n);
            const std::lock_guard<std::mutex> one(receiving_);
            received_ += got;
        }
        // Closed, not disconnected: a disconnect would throw away what the
        // program has not read yet.
        CloseHandle(pipe);
    }
    if (!listening)
        ++listening_;
    --serving_;
}

std::string ServedPipe::close() {
    stopping_ = true;
    // A server waits for a program to connect: connect until none is left.
    const std::wstring name = wide(path);
    while (serving_ > 0) {
        const HANDLE client = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (client != INVALID_HANDLE_VALUE)
            CloseHandle(client);
        else
            Sleep(1);
    }
    for (std::thread &server : servers_)
        if (server.joinable())
            server.join();
    const std::lock_guard<std::mutex> one(receiving_);
    return received_;
}

CommandRun runSpindle(const std::vector<std::string> &arguments, const CommandConditions &conditions) {
    // Pipes rather than files, so that whatever the run does to the disk
    // leaves its output alone.
    CommandRun run;
    const std::wstring program = wide(SPINDLE_COMMAND_PATH);
    std::wstring line = quoted(program);
    for (const std::string &argument : arguments)
        line += L" " + quoted(wide(argument));
    HANDLE outRead = nullptr, errRead = nullptr;
    PROCESS_INFORMATION child{};
    {
        const std::lock_guard<std::mutex> one(starting);
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        HANDLE outWrite = nullptr, errWrite = nullptr;
        if (!CreatePipe(&outRead, &outWrite, &inherited, 0))
            return run;
        if (!CreatePipe(&errRead, &errWrite, &inherited, 0)) {
            CloseHandle(outRead);
            CloseHandle(outWrite);
            return run;
        }
        SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
        const HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input;
        startup.hStdOutput = outWrite;
        startup.hStdError = errWrite;
        const bool started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                                            CREATE_SUSPENDED | DETACHED_PROCESS, nullptr, nullptr, &startup, &child);
        for (HANDLE handle : {outWrite, errWrite, input})
            if (handle != INVALID_HANDLE_VALUE)
                CloseHandle(handle);
        if (!started) {
            CloseHandle(outRead);
            CloseHandle(errRead);
            return run;
        }
    }
    HANDLE job = nullptr;
    if (conditions.cpuSeconds > 0) {
        job = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_TIME | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        limits.BasicLimitInformation.PerProcessUserTimeLimit.QuadPart = conditions.cpuSeconds * 10000000LL;
        if (job)
            SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        if (job)
            AssignProcessToJobObject(job, child.hProcess);
    }
    ResumeThread(child.hThread);
    CloseHandle(child.hThread);
    std::thread readOut([&] { drain(outRead, run.out); });
    std::thread readErr([&] { drain(errRead, run.err); });
    if (conditions.terminateAfterMs >= 0 &&
        WaitForSingleObject(child.hProcess, DWORD(conditions.terminateAfterMs)) == WAIT_TIMEOUT)
        TerminateProcess(child.hProcess, kTerminated);
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(child.hProcess, &status);
    readOut.join();
    readErr.join();
    CloseHandle(child.hProcess);
    if (job)
        CloseHandle(job);
    run.status = int(status);
    return run;
}

} // namespace testsupport

#else // POSIX

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace testsupport {

namespace {

// Everything a pipe delivers until its writers are gone.
void drain(int fd, std::string &into) {
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        into.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
}

void limit(int resource, long long value) {
    const rlimit both = {static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
    if (setrlimit(resource, &both) != 0)
        _exit(126);
}

} // namespace

void removeTree(const std::string &path) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (fs::recursive_directory_iterator entry(path, error), end; !error && entry != end; entry.increment(error))
        if (!entry->is_symlink(error))
            fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add, error);
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(path, error);
}

bool growSparse(const std::string &path, std::uint64_t size) {
    std::error_code error;
    std::filesystem::resize_file(path, size, error);
    return !error;
}

std::string makeTempDir() {
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/spindle-test-XXXXXX";
    char *made = mkdtemp(pattern.data());
    return made ? std::string(made) : std::string();
}

std::string noSuchFileText() { return std::strerror(ENOENT); }

bool makeLink(const std::string &target, const std::string &at) { return symlink(target.c_str(), at.c_str()) == 0; }

CommandRun runSpindle(const std::vector<std::string> &arguments, const CommandConditions &conditions) {
    // Pipes rather than files, so that a file-size limit leaves the
    // command's output alone.
    CommandRun run;
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return run;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {out[0], out[1], err[0], err[1]})
            close(fd);
        if (conditions.fileSizeLimit >= 0)
            limit(RLIMIT_FSIZE, conditions.fileSizeLimit);
        if (conditions.memoryLimit > 0)
            limit(RLIMIT_AS, conditions.memoryLimit);
        if (conditions.cpuSeconds > 0)
            limit(RLIMIT_CPU, conditions.cpuSeconds);
        if (conditions.uid != 0 && (setgid(conditions.uid) != 0 || setuid(conditions.uid) != 0))
            _exit(126);
        std::vector<char *> argv;
        std::string command = SPINDLE_COMMAND_PATH;
        argv.push_back(command.data());
        std::vector<std::string> copies = arguments;
        for (std::string &argument : copies)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        execv(command.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    std::thread readOut([&] { drain(out[0], run.out); });
    std::thread readErr([&] { drain(err[0], run.err); });
    int status = 0;
    if (conditions.signal != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(conditions.signalAfterMs));
        while (waitpid(child, &status, WNOHANG) == 0) {
            kill(child, conditions.signal);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    } else {
        waitpid(child, &status, 0);
    }
    readOut.join();
    readErr.join();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

} // namespace testsupport

#endif
