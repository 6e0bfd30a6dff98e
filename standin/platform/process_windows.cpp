// The stand-in's process on Windows: binary standard output and error, and
// console interrupts held while the module runs.
#include "standin/platform/platform.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>

namespace standin::platform {

namespace {

std::atomic<bool> holding{false};
std::atomic<DWORD> deferred{0}; // the console event held back, plus one; 0 for none
HANDLE released = nullptr;      // set once the run is over

// The console's handler while interrupts are held: Ctrl-C and Ctrl-Break
// are kept for later; a closed console, a log-off or a shut-down ends the
// process as soon as the handler returns, so the handler waits for the run.
BOOL WINAPI deferInterrupt(DWORD event) {
    DWORD none = 0;
    deferred.compare_exchange_strong(none, event + 1);
    if (!holding.load())
        return FALSE;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        return TRUE;
    WaitForSingleObject(released, INFINITE);
    return FALSE;
}

} // namespace

void startCommand() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

void holdInterrupts() {
    if (!released)
        released = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(released);
    deferred.store(0);
    holding.store(true);
    SetConsoleCtrlHandler(deferInterrupt, TRUE);
}

void releaseInterrupts() {
    holding.store(false);
    SetEvent(released);
    SetConsoleCtrlHandler(deferInterrupt, FALSE);
    // As the system's own handler ends a process on Ctrl-C.
    if (deferred.load() != 0)
        ExitProcess(STATUS_CONTROL_C_EXIT);
}

} // namespace standin::platform
