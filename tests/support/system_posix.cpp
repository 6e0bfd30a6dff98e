// The test support's calls into POSIX systems: temporary folders, links,
// sparse files and runs of the spindle command.
#include "support/module.h"
#include "support/support.h"

#include <chrono>
#include <filesystem>
#include <thread>

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
        std::string command = conditions.program.empty() ? SPINDLE_COMMAND_PATH : conditions.program;
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
