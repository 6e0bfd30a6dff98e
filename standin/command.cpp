// The `spindle` command.  Everything it prints on its own is one line on
// standard error beginning "spindle: "; the module's messages appear as the
// host's message services show them.
#include "standin/command.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <iostream>
#include <set>

#ifndef SPINDLE_VERSION
#define SPINDLE_VERSION "unknown"
#endif
#ifndef SPINDLE_MODULE_INSTALL_DIR
#define SPINDLE_MODULE_INSTALL_DIR "lib/spindle"
#endif

namespace standin {

const char *const kUsage =
    "Usage: spindle [OPTIONS] MODEL\n"
    "Turns the curve polygons of MODEL (LWO2, LWOB or Wavefront OBJ) into a bone\n"
    "hierarchy and writes a scene file, running the Spindle module as the\n"
    "modeler would and answering its options panel from the options below.\n"
    "\n"
    "Panel:\n"
    "  -o, --scene PATH          scene file to write (default: MODEL with .lws)\n"
    "      --object PATH         object file for the scene to load\n"
    "      --bone-color C        Blue, Green, Cyan, Red, Purple, Yellow or White\n"
    "      --goal-color C        the same colours, for the goal objects\n"
    "      --[no-]surface-names  name bones after their curve's surface\n"
    "      --[no-]active-bones   write the bones as active\n"
    "      --[no-]goal-objects   make goal null objects at the chain tips\n"
    "      --[no-]ng-suffix      no goal for surfaces ending in \"_NG\"\n"
    "      --[no-]goal-bones     make a goal bone for each goal\n"
    "      --[no-]optimize-goal-parent\n"
    "                            place each goal under a better parent bone\n"
    "      --cancel              answer the panel with Cancel\n"
    "Mesh:\n"
    "      --layer N             a foreground layer (repeatable; default: all)\n"
    "      --surface NAME        select only polygons of this surface (repeatable)\n"
    "Other:\n"
    "      --module PATH         the module file to load\n"
    "      --transcript          print every call the module makes into the host\n"
    "  -h, --help                show this help\n"
    "      --version             show the version\n"
    "\n"
    "Exit status: 0 scene written; 1 no scene (a failure shown, or Cancel);\n"
    "2 bad command line or unreadable model; 3 module not loaded or run refused.\n";

namespace {

// Panel control numbers, in creation order.
enum {
    kSceneControl = 1, kObjectControl, kBoneColorControl, kSurfaceNamesControl, kActiveBonesControl,
    kGoalObjectsControl, kGoalColorControl, kNgSuffixControl, kGoalBonesControl, kOptimizeControl,
};

// The six switches: option name, where the command line keeps it, and the
// panel control it sets.
struct Switch {
    const char *name;
    std::optional<bool> CommandLine::*field;
    int control;
};
constexpr Switch kSwitches[] = {
    {"surface-names", &CommandLine::surfaceNames, kSurfaceNamesControl},
    {"active-bones", &CommandLine::activeBones, kActiveBonesControl},
    {"goal-objects", &CommandLine::goalObjects, kGoalObjectsControl},
    {"ng-suffix", &CommandLine::ngSuffix, kNgSuffixControl},
    {"goal-bones", &CommandLine::goalBones, kGoalBonesControl},
    {"optimize-goal-parent", &CommandLine::optimizeGoalParent, kOptimizeControl},
};

constexpr const char *kColors[] = {"Blue", "Green", "Cyan", "Red", "Purple", "Yellow", "White"};

bool parseLayer(const std::string &text, int &layer) {
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    layer = std::stoi(text);
    return layer >= 1;
}

} // namespace

int colorIndex(const std::string &name) {
    for (int i = 0; i < 7; ++i) {
        const std::string color = kColors[i];
        if (color.size() != name.size())
            continue;
        bool same = true;
        for (size_t c = 0; c < name.size() && same; ++c)
            same = std::tolower(static_cast<unsigned char>(name[c])) == std::tolower(static_cast<unsigned char>(color[c]));
        if (same)
            return i;
    }
    return -1;
}

bool parseCommandLine(const std::vector<std::string> &arguments, CommandLine &line, std::string &reason) {
    line = CommandLine{};
    bool haveModel = false;
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        std::optional<std::string> attached;
        if (!optionsEnded && argument.rfind("--", 0) == 0 && argument.size() > 2) {
            const size_t equals = argument.find('=');
            if (equals != std::string::npos) {
                attached = argument.substr(equals + 1);
                argument = argument.substr(0, equals);
            }
        }
        auto value = [&](std::string &out) {
            if (attached) {
                out = *attached;
                return true;
            }
            if (i + 1 >= arguments.size()) {
                reason = "option " + argument + " needs a value";
                return false;
            }
            out = arguments[++i];
            return true;
        };
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            if (haveModel) {
                reason = "more than one model file given ('" + line.model + "' and '" + argument + "')";
                return false;
            }
            line.model = argument;
            haveModel = true;
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string text;
        const bool takesValue = argument == "-o" || argument == "--scene" || argument == "--object" ||
                                argument == "--bone-color" || argument == "--goal-color" || argument == "--layer" ||
                                argument == "--surface" || argument == "--module";
        if (attached && !takesValue) {
            reason = "option " + argument + " takes no value";
            return false;
        }
        if (argument == "-h" || argument == "--help") {
            line.help = true;
        } else if (argument == "--version") {
            line.version = true;
        } else if (argument == "-o" || argument == "--scene") {
            if (!value(text))
                return false;
            line.scene = text;
        } else if (argument == "--object") {
            if (!value(text))
                return false;
            line.object = text;
        } else if (argument == "--bone-color" || argument == "--goal-color") {
            if (!value(text))
                return false;
            const int index = colorIndex(text);
            if (index < 0) {
                reason = "unknown colour '" + text + "' for " + argument +
                         " (Blue, Green, Cyan, Red, Purple, Yellow or White)";
                return false;
            }
            (argument == "--bone-color" ? line.boneColor : line.goalColor) = index;
        } else if (argument == "--cancel") {
            line.cancel = true;
        } else if (argument == "--layer") {
            if (!value(text))
                return false;
            int layer = 0;
            if (!parseLayer(text, layer)) {
                reason = "bad layer number '" + text + "' (layers are numbered from 1)";
                return false;
            }
            line.layers.push_back(layer);
        } else if (argument == "--surface") {
            if (!value(text))
                return false;
            line.surfaces.push_back(text);
        } else if (argument == "--module") {
            if (!value(text))
                return false;
            line.module = text;
        } else if (argument == "--transcript") {
            line.transcript = true;
        } else {
            bool known = false;
            for (const Switch &option : kSwitches) {
                if (argument == std::string("--") + option.name) {
                    line.*option.field = true;
                    known = true;
                } else if (argument == std::string("--no-") + option.name) {
                    line.*option.field = false;
                    known = true;
                }
            }
            if (!known) {
                reason = "unknown option '" + argument + "'";
                return false;
            }
        }
    }
    if (!haveModel && !line.help && !line.version) {
        reason = "no model file given (see spindle --help)";
        return false;
    }
    // A longer text would reach the module cut short, naming another file.
    if (line.scene && line.scene->size() > kPanelTextLimit) {
        reason = "option --scene takes a path of at most " + std::to_string(kPanelTextLimit) +
                 " bytes (the panel's text controls hold no more)";
        return false;
    }
    if (line.object && line.object->size() > kPanelTextLimit) {
        reason = "option --object takes a path of at most " + std::to_string(kPanelTextLimit) +
                 " bytes (the panel's text controls hold no more)";
        return false;
    }
    if (haveModel && !line.scene && defaultScenePath(line.model).size() > kPanelTextLimit) {
        reason = "the default scene path is longer than " + std::to_string(kPanelTextLimit) +
                 " bytes (the panel's text controls hold no more); name a shorter one with -o";
        return false;
    }
    return true;
}

std::string defaultScenePath(const std::string &model) {
    const size_t slash = model.find_last_of('/');
    const size_t dot = model.find_last_of('.');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (dot != std::string::npos && dot > nameStart)
        return model.substr(0, dot) + ".lws";
    return model + ".lws";
}

std::vector<PanelEdit> panelEdits(const CommandLine &line) {
    std::vector<PanelEdit> edits;
    auto setText = [&](int control, const std::string &text) { edits.push_back({control, true, 0, text}); };
    auto setInteger = [&](int control, int value) { edits.push_back({control, false, value, {}}); };
    setText(kSceneControl, line.scene ? *line.scene : defaultScenePath(line.model));
    if (line.object)
        setText(kObjectControl, *line.object);
    // Controls top to bottom, the goal-object switch aside.
    auto setSwitches = [&](int from, int to) {
        for (const Switch &option : kSwitches)
            if (option.control >= from && option.control <= to && line.*option.field)
                setInteger(option.control, *(line.*option.field));
    };
    if (line.boneColor)
        setInteger(kBoneColorControl, *line.boneColor);
    setSwitches(kSurfaceNamesControl, kActiveBonesControl);
    if (line.goalObjects == true)
        setInteger(kGoalObjectsControl, 1);
    if (line.goalColor)
        setInteger(kGoalColorControl, *line.goalColor);
    setSwitches(kNgSuffixControl, kOptimizeControl);
    if (line.goalObjects == false)
        setInteger(kGoalObjectsControl, 0);
    return edits;
}

bool sameFile(const std::string &a, const std::string &b) {
    struct stat first, second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

std::string defaultModulePath() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "Spindle.p";
    self[length] = '\0';
    std::string folder(self);
    folder = folder.substr(0, folder.find_last_of('/'));
    const std::string beside = folder + "/Spindle.p";
    if (access(beside.c_str(), R_OK) == 0)
        return beside;
    return folder + "/../" SPINDLE_MODULE_INSTALL_DIR "/Spindle.p";
}

int spindleMain(int argc, char **argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    CommandLine line;
    std::string reason;
    // A file-size limit is reported as a failed write, not a killed process.
    ::signal(SIGXFSZ, SIG_IGN);
    if (!parseCommandLine(arguments, line, reason)) {
        std::fprintf(stderr, "spindle: %s\n", escapeControls(reason).c_str());
        return kExitUsage;
    }
    if (line.help) {
        std::fputs(kUsage, stdout);
        return kExitWritten;
    }
    if (line.version) {
        std::printf("spindle %s\n", SPINDLE_VERSION);
        return kExitWritten;
    }

    const std::string scene = line.scene ? *line.scene : defaultScenePath(line.model);
    if (sameFile(scene, line.model)) {
        std::fprintf(stderr, "spindle: %s: would overwrite the model; name another scene with -o\n",
                     escapeControls(scene).c_str());
        return kExitUsage;
    }

    Mesh mesh;
    if (!readMesh(line.model, mesh, reason)) {
        std::fprintf(stderr, "spindle: %s: %s\n", escapeControls(line.model).c_str(), escapeControls(reason).c_str());
        return kExitUsage;
    }
    std::set<int> present;
    for (const MeshLayer &layer : mesh.layers)
        present.insert(layer.number);
    for (int layer : line.layers) {
        if (!present.count(layer)) {
            std::fprintf(stderr, "spindle: %s has no layer %d\n", escapeControls(line.model).c_str(), layer);
            return kExitUsage;
        }
    }

    Module module;
    const std::string modulePath = line.module.empty() ? defaultModulePath() : line.module;
    if (!loadModule(modulePath, module, reason)) {
        std::fprintf(stderr, "spindle: %s: %s\n", escapeControls(modulePath).c_str(), escapeControls(reason).c_str());
        return kExitModule;
    }

    HostConfig config;
    config.keepTranscript = false;
    config.transcriptOut = line.transcript ? &std::cerr : nullptr;
    config.edits = panelEdits(line);
    config.cancel = line.cancel;
    config.mesh = &mesh;
    config.foreground.assign(line.layers.begin(), line.layers.end());
    config.selectedSurfaces = line.surfaces;
    int status;
    {
        // Interrupts wait until the module's run is over (it takes well
        // under a second), so that a run never stops halfway through
        // writing; a signal that came meanwhile is acted on after it.
        sigset_t held, previous;
        sigemptyset(&held);
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&held, signal);
        ::sigprocmask(SIG_BLOCK, &held, &previous);
        Host host(config);
        const int32_t result = host.run(module);
        std::cerr.flush();
        bool written = false;
        for (const Message &message : host.messages)
            written = written || (!message.isError && message.text == "Scene file created.");
        for (const std::string &label : host.textsCut) {
            std::fprintf(stderr, "spindle: the module read the text of \"%s\" only in part\n", escapeControls(label).c_str());
            written = false;
        }
        if (result != HOST_RESULT_OK)
            status = kExitModule;
        else
            status = written ? kExitWritten : kExitNoScene;
        std::fflush(stdout);
        std::fflush(stderr);
        ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    }
    unloadModule(module);
    return status;
}

} // namespace standin
