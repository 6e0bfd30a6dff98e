// Safe replacement of the scene file on POSIX systems.  The scene goes to a
// temporary file beside the file it replaces and is moved over it only once
// every byte reached the disk; where the folder takes no new file, or
// refuses the move, the file is written in place and its old bytes are put
// back if the new ones cannot be written.
#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "module/scene/scene.h"

namespace spindle {

namespace {

constexpr int kMaxLinkHops = 40;

mode_t creationMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string folderOf(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows a chain of links at `path` to the name of the file it ends at,
// which need not exist yet.  False on a loop or a link that cannot be read.
bool followLinks(const std::string &path, std::string &target) {
    target = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat info;
        if (::lstat(target.c_str(), &info) != 0)
            return errno == ENOENT;
        if (!S_ISLNK(info.st_mode))
            return true;
        std::string next(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(target.c_str(), next.data(), next.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= next.size())
            return false;
        next.resize(static_cast<std::size_t>(length));
        target = next[0] == '/' ? next : folderOf(target) + "/" + next;
    }
    return false;
}

bool writeAll(int fd, const char *bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool readAll(const std::string &path, std::string &bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bytes.clear();
    char buffer[64 * 1024];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ok;
}

// Starts a temporary file with the permission bits `mode` in `folder`.
bool openTemporary(const std::string &folder, mode_t mode, SceneOutput &out) {
    std::string temporary = folder + "/.spindle-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    if (::fchmod(fd, mode) != 0) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return false;
    }
    out.file = fd;
    out.temporary = std::move(temporary);
    return true;
}

// Opens the target itself for writing in place, without truncating it.
bool openInPlace(SceneOutput &out, bool create) {
    const int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC | (create ? O_CREAT | O_EXCL : 0);
    const int fd = ::open(out.target.c_str(), flags, 0666);
    out.file = fd;
    out.created = create && fd >= 0;
    return fd >= 0;
}

// Writes the scene over the target's old content; if that fails, puts the
// old bytes back where the disk allows.
bool writeInPlace(SceneOutput &out, const char *bytes, std::size_t size) {
    const int fd = static_cast<int>(out.file);
    struct stat info;
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    std::string old;
    const bool haveOld = regular && !out.created && readAll(out.target, old);
    bool written = writeAll(fd, bytes, size);
    if (written && regular)
        written = ::ftruncate(fd, static_cast<off_t>(size)) == 0 && ::fsync(fd) == 0;
    if (!written && haveOld && ::lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, old.data(), old.size()) &&
        ::ftruncate(fd, static_cast<off_t>(old.size())) != 0) {
        // The old bytes are back; only the length the failed write left stays.
    }
    if (::close(fd) != 0)
        written = false;
    out.file = -1;
    if (!written && out.created)
        ::unlink(out.target.c_str());
    return written;
}

} // namespace

bool openSceneOutput(const char *path, SceneOutput &out) {
    out = SceneOutput{};
    const std::string given = path;
    if (given.empty() || given.back() == '/')
        return false;
    struct stat target;
    if (::stat(path, &target) == 0) {
        if (S_ISDIR(target.st_mode))
            return false;
        // Ask whether the file may be written, without touching its content.
        const int probe = ::open(path, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (probe < 0)
            return false;
        ::close(probe);
        // A link at the path is kept: the file it leads to is the one
        // replaced, and the temporary goes beside that file.  Devices,
        // FIFOs and the system's own folders (/dev/stdout, /proc/self/fd/N)
        // are written as they are; so is a file whose folder takes no new
        // file.
        out.target = given;
        const bool systemPath = given.rfind("/dev/", 0) == 0 || given.rfind("/proc/", 0) == 0;
        if (S_ISREG(target.st_mode) && !systemPath) {
            if (char *resolved = ::realpath(path, nullptr)) {
                out.target = resolved;
                std::free(resolved);
            }
            if (openTemporary(folderOf(out.target), target.st_mode & 07777, out))
                return true;
        }
        return openInPlace(out, false);
    }
    if (errno != ENOENT)
        return false; // a link loop, a folder that may not be searched
    // Nothing there yet: a link at the path that leads nowhere is kept, and
    // the file it names is created beside its own folder's other files.
    if (!followLinks(given, out.target))
        return false;
    return openTemporary(folderOf(out.target), creationMode(), out) || openInPlace(out, true);
}

bool commitSceneOutput(SceneOutput &out, const char *bytes, std::size_t size) {
    if (out.temporary.empty())
        return writeInPlace(out, bytes, size);
    bool written = writeAll(static_cast<int>(out.file), bytes, size) && ::fsync(static_cast<int>(out.file)) == 0;
    if (::close(static_cast<int>(out.file)) != 0)
        written = false;
    out.file = -1;
    if (written && ::rename(out.temporary.c_str(), out.target.c_str()) == 0)
        return true;
    const bool moveRefused = written && (errno == EPERM || errno == EACCES);
    ::unlink(out.temporary.c_str());
    out.temporary.clear();
    // A folder that refuses the move (a sticky folder and another user's
    // file): write the file in place, as it may be written.
    return moveRefused && openInPlace(out, false) && writeInPlace(out, bytes, size);
}

void abandonSceneOutput(SceneOutput &out) {
    if (out.file >= 0)
        ::close(static_cast<int>(out.file));
    out.file = -1;
    if (!out.temporary.empty())
        ::unlink(out.temporary.c_str());
    else if (out.created)
        ::unlink(out.target.c_str());
    out = SceneOutput{};
}

} // namespace spindle
