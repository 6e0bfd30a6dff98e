// Whole runs of the real module on hostile models: the input's first two
// bytes answer the options panel, the rest is the model file.  The model goes
// through the readers, the module (Spindle.p, built with the same
// instrumentation and loaded once per process) runs on it through the
// stand-in host and writes its scene into a folder made once per process.
//
// Byte 0: bits 0-5 flip the six switches from their defaults (surface names,
// active bones, goal objects, "_NG" suffix, goal bones, optimize goal
// parent), bit 6 gives an object path, bit 7 makes only the first layer of
// the file foreground.  Byte 1: bone colour (bits 0-2) and goal colour
// (bits 3-5), counted on from their defaults; bit 6 names the folder itself
// as the scene, which cannot be opened; bit 7 writes the rig as .gltf rather
// than .glb.  Each scene written is read back and its rig written as glTF,
// which must parse: its container, its JSON and every range in its buffer.  Every control is set on every run,
// so the options the module keeps from the run before change nothing.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "gltf/gltf_check.h"
#include "support/mesh_check.h"
#include "standin/cli/command.h"
#include "standin/cli/command_line.h"
#include "standin/gltf/gltf_file.h"
#include "standin/gltf/mesh_document.h"
#include "standin/gltf/rig_export.h"
#include "standin/gltf/rig_document.h"
#include "standin/modeler/modeler.h"
#include "standin/readers/read_mesh.h"

namespace {

standin::Module module;
std::string folder;
std::string scene;

[[noreturn]] void breach(const char *what, const std::string &detail = {}) {
    std::fprintf(stderr, "run check: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    std::abort();
}

// A folder in memory where there is one: the scene writer syncs every file it
// puts in place.
std::string makeFolder() {
    std::string base = "/dev/shm";
    if (access(base.c_str(), W_OK) != 0) {
        const char *tmp = std::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    std::string pattern = base + "/spindle-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return {};
    return pattern;
}

void removeFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::string readWhole(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool endsWith(const std::string &text, const std::string &end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Messages quote a curve's surface name as the model spells it (cut to the
// module's name size), so a name with a line break in it breaks the message
// too; only that is let through.
bool quotesBrokenName(const std::string &text, const standin::Mesh &mesh) {
    for (const std::string &name : mesh.surfaces) {
        const size_t lineBreak = name.find_first_of("\r\n");
        if (lineBreak != std::string::npos && text.find(name.substr(0, lineBreak + 1)) != std::string::npos)
            return true;
    }
    return false;
}

// The rig of the scene written, with the mesh of the layers `foreground`,
// as --gltf writes it, read back and checked.
void checkRig(const standin::Mesh &mesh, const std::vector<int> &foreground, bool text) {
    standin::Scene written;
    std::string reason;
    if (!standin::readScene(scene, written, reason, standin::SceneNumbers::ForTheRig))
        breach("scene not read back", reason);
    namespace gltf = standin::gltf;
    const gltf::FrameRule rule = gltf::frameRuleOf(mesh.format);
    const standin::RigPlacement placed = standin::placeRig(written, standin::NotFinite::PutRight);
    gltf::RigDocument rig = gltf::rigDocument(written, placed, rule, "fuzz");
    gltf::MeshNotes notes;
    gltf::addMesh(rig, written, placed, rule, mesh, gltf::runLayers(mesh, foreground), "fuzz", gltf::Weights::Surface,
                  notes);
    const std::string path = folder + (text ? "/rig.gltf" : "/rig.glb");
    if (!gltf::writeGltfFile(path, rig.document, reason))
        breach("glTF not written", reason);
    gltfcheck::GltfFile file;
    const std::string problem = gltfcheck::checkGltf(readWhole(path), file);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    if (!problem.empty())
        breach("glTF does not parse", problem);
}

// The panel edits of the command line a user would type for these bytes.
std::vector<standin::PanelEdit> panelAnswer(uint8_t switches, uint8_t colors) {
    static const char *const kColours[] = {"Blue", "Green", "Cyan", "Red", "Purple", "Yellow", "White"};
    static const char *const kSwitches[] = {"surface-names", "active-bones", "goal-objects",
                                            "ng-suffix",     "goal-bones",   "optimize-goal-parent"};
    constexpr bool defaults[] = {true, true, true, true, true, false};
    std::vector<std::string> arguments = {"-o", (colors & 0x40) ? folder : scene, "--object",
                                          (switches & 0x40) ? "C:\\Objects\\fuzz body.lwo" : ""};
    for (int i = 0; i < 6; ++i) {
        const bool on = defaults[i] != (((switches >> i) & 1) != 0);
        arguments.push_back(std::string(on ? "--" : "--no-") + kSwitches[i]);
    }
    arguments.insert(arguments.end(),
                     {"--bone-color", kColours[(1 + (colors & 7)) % 7], "--goal-color",
                      kColours[(3 + ((colors >> 3) & 7)) % 7], "fuzz.lwo"});
    standin::CommandLine line;
    std::string reason;
    if (!standin::parseCommandLine(arguments, line, reason))
        breach("command line refused", reason);
    return standin::panelEdits(line);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    std::string reason;
    if (!standin::loadModule(SPINDLE_MODULE_PATH, module, reason)) {
        std::fprintf(stderr, "fuzz_run: %s: %s\n", SPINDLE_MODULE_PATH, reason.c_str());
        std::exit(1);
    }
    folder = makeFolder();
    if (folder.empty()) {
        std::perror("fuzz_run: no temporary folder");
        std::exit(1);
    }
    scene = folder + "/scene.lws";
    std::atexit(removeFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return -1;
    standin::Mesh mesh;
    std::string reason;
    const bool read = standin::readMeshBytes(data + 2, size - 2, mesh, reason);
    testsupport::requireSoundMesh(read, mesh, reason);
    if (!read)
        return 0;

    standin::HostConfig config;
    config.echoMessages = false;
    config.keepTranscript = false;
    config.mesh = &mesh;
    config.edits = panelAnswer(data[0], data[1]);
    if ((data[0] & 0x80) && !mesh.layers.empty())
        config.foreground = {mesh.layers[0].number};

    std::error_code ignored;
    std::filesystem::remove(scene, ignored);
    const standin::RunResult host = standin::runCommand(module, config);
    const int32_t result = host.result;

    if (!host.refusedEdits.empty())
        breach("panel edit refused", host.refusedEdits[0].edit.label);
    if (result != HOST_RESULT_OK)
        breach("result code", std::to_string(result));
    if (host.meshEditsDone != host.meshEditsBegun)
        breach("mesh edit left open");
    if (host.panels.size() != 1 || !host.panels[0].destroyed)
        breach("panel not destroyed");
    int created = 0;
    for (const standin::Message &message : host.messages) {
        if (message.text.find_first_of("\r\n") != std::string::npos && !quotesBrokenName(message.text, mesh))
            breach("message of more than one line", message.text);
        if (!message.isError && message.text == "Scene file created.")
            ++created;
    }
    if (created > 1)
        breach("scene created more than once");
    const bool exists = std::filesystem::exists(scene);
    if (created == 1) {
        const std::string text = readWhole(scene);
        if (text.compare(0, 9, "LWSC\r\n3\r\n") != 0)
            breach("scene does not start with its header");
        if (!endsWith(text, "ShowFieldChart 0\r\n"))
            breach("scene does not end with its last view line");
        checkRig(mesh, std::vector<int>(config.foreground.begin(), config.foreground.end()), (data[1] & 0x80) != 0);
    } else if (exists) {
        breach("scene file left without \"Scene file created.\"");
    }
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        if (entry.path() != scene)
            breach("file left in the scene folder", entry.path().string());
    return 0;
}
