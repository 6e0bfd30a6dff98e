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

std::string makeTempDir() {
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/spindle-test-XXXXXX";
    char *made = mkdtemp(pattern.data());
    return made ? std::string(made) : std::string();
}

} // namespace testsupport

// ---- module support --------------------------------------------------------

#include <unistd.h>

#include <filesystem>

#include "support/module.h"

namespace testsupport {

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

FreshModule::FreshModule() {
    static int serial = 0;
    const std::string folder = makeTempDir();
    path = folder + "/Spindle-" + std::to_string(++serial) + ".p";
    std::filesystem::copy_file(SPINDLE_MODULE_PATH, path);
    standin::loadModule(path, module, reason);
}

FreshModule::~FreshModule() {
    standin::unloadModule(module);
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(path).parent_path(), ignored);
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

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <thread>

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

} // namespace

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
        if (conditions.fileSizeLimit >= 0) {
            const rlimit limit = {static_cast<rlim_t>(conditions.fileSizeLimit),
                                  static_cast<rlim_t>(conditions.fileSizeLimit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(126);
        }
        if (conditions.memoryLimit > 0) {
            const rlimit limit = {static_cast<rlim_t>(conditions.memoryLimit),
                                  static_cast<rlim_t>(conditions.memoryLimit)};
            setrlimit(RLIMIT_AS, &limit);
        }
        if (conditions.cpuSeconds > 0) {
            const rlimit limit = {static_cast<rlim_t>(conditions.cpuSeconds),
                                  static_cast<rlim_t>(conditions.cpuSeconds)};
            setrlimit(RLIMIT_CPU, &limit);
        }
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
