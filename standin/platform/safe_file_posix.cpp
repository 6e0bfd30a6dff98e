// Safe file writing on POSIX systems.
#include "standin/platform/safe_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "standin/platform/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace standin::platform {

namespace {

bool writeAll(int fd, const std::vector<std::string_view> &pieces) {
    for (std::string_view piece : pieces) {
        const char *bytes = piece.data();
        size_t size = piece.size();
        while (size > 0) {
            const ssize_t n = ::write(fd, bytes, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            if (n == 0) {
                errno = ENOSPC;
                return false;
            }
            bytes += n;
            size -= size_t(n);
        }
    }
    return true;
}

std::string folderOf(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

bool writeFileSafely(const std::string &path, const std::vector<std::string_view> &pieces, std::string &why) {
    std::string target = path;
    mode_t mode = 0666;
    struct stat info;
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            why = platform::errorText(EISDIR);
            return false;
        }
        if (!S_ISREG(info.st_mode)) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
            const bool written = fd >= 0 && writeAll(fd, pieces);
            const int error = errno;
            if (fd >= 0)
                ::close(fd);
            if (!written)
                why = platform::errorText(error);
            return written;
        }
        if (char *resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
        mode = info.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    std::string temporary = folderOf(target) + "/.spindle-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        why = platform::errorText(errno);
        return false;
    }
    bool written = ::fchmod(fd, mode) == 0 && writeAll(fd, pieces) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && ::rename(temporary.c_str(), target.c_str()) == 0)
        return true;
    if (written)
        error = errno;
    ::unlink(temporary.c_str());
    why = platform::errorText(error);
    return false;
}

} // namespace standin::platform
