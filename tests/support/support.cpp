#include "support/support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> namesIn(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto &entry : std::filesystem::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
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
