// The stand-in's system calls on Linux and other POSIX systems: paths are
// handed to the system as they are, reasons are strerror's and dlerror's.
#include "standin/platform/platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>

namespace standin::platform {

namespace {

bool failed(std::string &why) {
    why = std::strerror(errno);
    return false;
}

FileKind kindOf(mode_t mode) {
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Folder;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileKind::Device;
    if (S_ISFIFO(mode) || S_ISSOCK(mode))
        return FileKind::Stream;
    return FileKind::Other;
}

sigset_t heldBefore; // the signal mask holdInterrupts replaced

// The mapped views, so that a bus error can be told to come from a file cut
// short under one of them.  A view that finds no slot free is not mapped:
// its file is read instead.
struct ViewSlot {
    std::atomic<uintptr_t> begin{0};
    std::atomic<uintptr_t> end{0};
};
ViewSlot viewSlots[16];
std::string cutText = "a mapped file was cut short by another program while it was read\n";
int cutStatus = 2;
struct sigaction busBefore; // the action the bus-error handler stands in front of

void onBusError(int signal, siginfo_t *info, void *) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(info->si_addr);
    if (info->si_code > 0)
        for (const ViewSlot &slot : viewSlots)
            if (at >= slot.begin.load() && at < slot.end.load()) {
                const ssize_t written = ::write(2, cutText.data(), cutText.size());
                static_cast<void>(written);
                ::_exit(cutStatus);
            }
    // Any other bus error goes to the action there was before: a fault
    // comes again as the access is repeated, a sent signal is sent again.
    ::sigaction(SIGBUS, &busBefore, nullptr);
    if (info->si_code <= 0)
        ::raise(signal);
}

} // namespace

std::string errorText(int code) { return std::strerror(code); }

char separator() { return '/'; }

std::size_t nameStart(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

std::string programPath() {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "";
    return std::string(self, size_t(length));
}

bool readable(const std::string &path) { return ::access(path.c_str(), R_OK) == 0; }

bool fileKind(const std::string &path, FileKind &kind, std::string &why) {
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return failed(why);
    kind = kindOf(status.st_mode);
    return true;
}

bool sameFile(const std::string &a, const std::string &b) {
    struct stat first, second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
        first.st_ino == second.st_ino;
}

InputFile::~InputFile() {
    if (handle_ >= 0)
        ::close(int(handle_));
}

bool InputFile::open(const std::string &path, std::string &why) {
    // A FIFO that no one writes to would hold up a blocking open; once open,
    // the file is read blocking, so a pipe's writer is waited for.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failed(why);
    handle_ = fd;
    const int flags = ::fcntl(fd, F_GETFL);
    struct stat status;
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || ::fstat(fd, &status) != 0)
        return failed(why);
    kind_ = kindOf(status.st_mode);
    size_ = kind_ == FileKind::Regular && status.st_size > 0 ? uint64_t(status.st_size) : 0;
    return true;
}

bool InputFile::read(void *into, std::size_t want, std::size_t &got, std::string &why) {
    for (;;) {
        const ssize_t n = ::read(int(handle_), into, std::min<size_t>(want, 1u << 30));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failed(why);
        got = size_t(n);
        return true;
    }
}

FileView::~FileView() {
    if (!address_)
        return;
    ::munmap(address_, size_);
    for (ViewSlot &slot : viewSlots)
        if (slot.begin.load() == reinterpret_cast<uintptr_t>(address_)) {
            slot.end.store(0);
            slot.begin.store(0);
        }
}

bool FileView::map(const InputFile &file, std::uint64_t size) {
    if (address_ || file.kind_ != FileKind::Regular || size == 0 || size > SIZE_MAX / 2)
        return false;
    ViewSlot *slot = nullptr;
    for (ViewSlot &free : viewSlots)
        if (free.begin.load() == 0) {
            slot = &free;
            break;
        }
    if (!slot)
        return false;
    static const bool handling = [] {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        return ::sigaction(SIGBUS, &action, &busBefore) == 0;
    }();
    if (!handling)
        return false;
    // Every page mapped at once, as one call, rather than on first touch.
    int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
    flags |= MAP_POPULATE;
#endif
    void *address = ::mmap(nullptr, size_t(size), PROT_READ, flags, int(file.handle_), 0);
    if (address == MAP_FAILED)
        return false;
    // A file cut short before it was mapped is read as it is now.
    struct stat status;
    if (::fstat(int(file.handle_), &status) != 0 || status.st_size < 0 || uint64_t(status.st_size) < size) {
        ::munmap(address, size_t(size));
        return false;
    }
    const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
    slot->begin.store(reinterpret_cast<uintptr_t>(address));
    slot->end.store((reinterpret_cast<uintptr_t>(address) + uintptr_t(size) + page - 1) / page * page);
    address_ = address;
    size_ = size_t(size);
    return true;
}

void whenMappedFileCut(const std::string &line, int status) {
    cutText = line + "\n";
    cutStatus = status;
}

bool writeWholeFile(const std::string &path, const std::string &bytes, std::string &why) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    return out ? true : failed(why);
}

void *openLibrary(const std::string &path, std::string &why) {
    ::dlerror();
    void *library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char *error = ::dlerror();
        why = error ? error : "unknown reason";
    }
    return library;
}

void *findSymbol(void *library, const char *name) { return ::dlsym(library, name); }

void closeLibrary(void *library) { ::dlclose(library); }

void startCommand() { ::signal(SIGXFSZ, SIG_IGN); }

void holdInterrupts() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&held, signal);
    ::sigprocmask(SIG_BLOCK, &held, &heldBefore);
}

void releaseInterrupts() { ::sigprocmask(SIG_SETMASK, &heldBefore, nullptr); }

} // namespace standin::platform
