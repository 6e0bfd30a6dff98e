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
    standin::MeshLayer layer;
    layer.number = 1;
    layer.points = points;
    for (const TestCurve &curve : curves) {
        standin::MeshPolygon polygon;
        polygon.type = HOST_POLY_CURVE;
        polygon.startControl = curve.startControl;
        polygon.points = curve.points;
        uint32_t surface = 0;
        while (surface < mesh.surfaces.size() && mesh.surfaces[surface] != curve.surface)
            ++surface;
        if (surface == mesh.surfaces.size())
            mesh.surfaces.push_back(curve.surface);
        polygon.surface = surface;
        layer.polygons.push_back(polygon);
    }
    mesh.layers.push_back(layer);
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

#include <sys/resource.h>
#include <sys/wait.h>

namespace testsupport {

CommandRun runSpindle(const std::vector<std::string> &arguments, size_t memoryLimit) {
    CommandRun run;
    const std::string folder = makeTempDir();
    const std::string outPath = folder + "/out", errPath = folder + "/err";
    const pid_t child = fork();
    if (child == 0) {
        std::freopen(outPath.c_str(), "w", stdout);
        std::freopen(errPath.c_str(), "w", stderr);
        if (memoryLimit != 0) {
            const rlimit limit{memoryLimit, memoryLimit};
            setrlimit(RLIMIT_AS, &limit);
        }
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
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return run;
}

} // namespace testsupport
