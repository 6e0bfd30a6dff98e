// Runs of the spindle command on Windows, and the named pipes a test serves
// it as a model or a scene.
#include "support/module.h"
#include "support/support.h"
#include "support/system_windows.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

namespace {

using windows::freshName;
using windows::narrow;
using windows::wide;

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

// A child inherits every inheritable handle there is as it starts; the
// pipes of one run are inheritable only while its child is made, so that
// no other run's child holds them open.
std::mutex starting;

// How many instances of a served pipe wait for a program at once.
constexpr int kInstances = 4;

} // namespace

ServedPipe::ServedPipe(const std::string &text)
    : path("\\\\.\\pipe\\" + narrow(freshName())), text_(text), serving_(kInstances) {
    // Several instances wait at any time, so that a program that connects
    // again at once (the command looks at what the path is, the module may
    // open it twice) finds one even while a busy machine has not yet run
    // the thread that makes the next instance.
    for (int i = 0; i < kInstances; ++i)
        servers_.emplace_back([this] { serve(); });
    // The pipe is there before the constructor returns: a thread may first
    // run a millisecond or more after it was started.
    while (listening_ < kInstances)
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
        if (!CreatePipe(&outRead, &outWrite, &inherited, 0)) {
            run.err = "no pipe for the command's output (error " + std::to_string(GetLastError()) + ")";
            return run;
        }
        if (!CreatePipe(&errRead, &errWrite, &inherited, 0)) {
            run.err = "no pipe for the command's errors (error " + std::to_string(GetLastError()) + ")";
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
        // Wine now and then refuses a process start while another test
        // program starts or ends one: a start is tried three times, and a
        // failure says why.
        bool started = false;
        DWORD error = 0;
        for (int attempt = 0; attempt < 3 && !started; ++attempt) {
            if (attempt > 0)
                Sleep(100);
            started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                                     CREATE_SUSPENDED | DETACHED_PROCESS, nullptr, nullptr, &startup, &child);
            error = started ? 0 : GetLastError();
        }
        for (HANDLE handle : {outWrite, errWrite, input})
            if (handle != INVALID_HANDLE_VALUE)
                CloseHandle(handle);
        if (!started) {
            CloseHandle(outRead);
            CloseHandle(errRead);
            run.err = "the command could not be started (error " + std::to_string(error) + ")";
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
