// The `spindle` command.  Everything it prints on its own is one line on
// standard error beginning "spindle: "; the module's messages appear as the
// host's message services show them.
#include "standin/cli/command.h"
#include "standin/cli/command_line.h"
#include "standin/modeler/modeler.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <set>

#include "generated/version.h"
#include "standin/cli/linking_notes.h"
#include "standin/cli/report.h"
#include "standin/gltf/frame_rule.h"
#include "standin/gltf/gltf_file.h"
#include "standin/readers/join_lines.h"
#include "standin/gltf/rig_export.h"
#include "standin/picture/picture.h"
#include "standin/platform/platform.h"
#include "standin/readers/read_mesh.h"
#include "standin/text/escape.h"

#ifndef SPINDLE_MODULE_INSTALL_DIR
#define SPINDLE_MODULE_INSTALL_DIR "lib/spindle"
#endif

namespace standin {

namespace {

// "Blue, Green or Red".
std::string listOfItems(const std::vector<std::string> &items) {
    std::string list;
    for (size_t i = 0; i < items.size(); ++i)
        list += (i == 0 ? "" : i + 1 == items.size() ? " or " : ", ") + items[i];
    return list;
}

// Why the user could not make an edit, as a bad command line.
std::string refusal(const RefusedEdit &refused) {
    const std::string option = optionFor(refused.edit.label);
    if (refused.items.empty())
        return "the panel has no control \"" + refused.edit.label + "\" for " + option;
    return "unknown colour '" + refused.edit.value + "' for " + option + " (" + listOfItems(refused.items) + ")";
}

// Writes a whole text file; false after telling why.
bool writeTextFile(const std::string &path, const std::string &text) {
    std::string why;
    if (platform::writeWholeFile(path, text, why))
        return true;
    std::fprintf(stderr, "spindle: %s: cannot be written (%s)\n", escapeControls(path).c_str(),
                 escapeControls(why).c_str());
    return false;
}

// Reads a scene back; false after telling why.
bool readBack(const std::string &path, Scene &scene) {
    std::string reason;
    if (readScene(path, scene, reason))
        return true;
    std::fprintf(stderr, "spindle: %s: %s\n", escapeControls(path).c_str(), escapeControls(reason).c_str());
    return false;
}

// `spindle show SCENE`: the tree, the bone table or the picture.
int showScene(const CommandLine &line) {
    Scene scene;
    std::string reason;
    // The rig is written even from a scene with numbers that are not finite.
    if (gltf::fileKindOf(line.showPicture) != gltf::FileKind::None) {
        if (!readScene(line.model, scene, reason, SceneNumbers::ForTheRig)) {
            std::fprintf(stderr, "spindle: %s: %s\n", escapeControls(line.model).c_str(),
                         escapeControls(reason).c_str());
            return kExitUsage;
        }
        return gltf::exportShownRig(scene, line.model, line.showPicture, line.weights) ? kExitWritten : kExitNoScene;
    }
    if (!readBack(line.model, scene))
        return kExitUsage;
    const RigPlacement placement = placeRig(scene);
    if (!line.showPicture.empty())
        return writeTextFile(line.showPicture, rigPicture(scene, placement)) ? kExitWritten : kExitUsage;
    std::fputs((line.showBones ? bonesText(scene, placement) : treeText(scene)).c_str(), stdout);
    return kExitWritten;
}

// The scene just written, read back: the summary, and the tree, the glTF
// (in the frame `rule`, with the faces of `mesh`) and the picture when
// asked.  Every count comes from the scene itself.
int reportScene(const CommandLine &line, gltf::FrameRule rule, const gltf::MeshSource &mesh) {
    Scene scene;
    if (!readBack(line.scene, scene)) {
        // A scene with numbers that are not finite has no summary, but
        // still its rig, with those bones put right.
        std::string reason;
        if (!line.gltf.empty() && readScene(line.scene, scene, reason, SceneNumbers::ForTheRig))
            gltf::exportRig(scene, rule, line.gltf, mesh);
        return kExitNoScene;
    }
    if (!line.quiet)
        std::printf("%s\n", summaryLine(line.scene, countScene(scene)).c_str());
    if (line.tree)
        std::fputs(treeText(scene).c_str(), stdout);
    std::fflush(stdout);
    const int status = line.gltf.empty() || gltf::exportRig(scene, rule, line.gltf, mesh) ? kExitWritten : kExitNoScene;
    if (!line.preview.empty() && !writeTextFile(line.preview, rigPicture(scene, placeRig(scene))))
        return kExitUsage;
    return status;
}

// What the command tells after a run that wrote the scene: the report of
// the scene, and the linking notes on the model's curves.  Only a regular
// file is read back: reading a FIFO or a device would take the scene from
// whoever reads it, or wait for ever.
int reportRun(const CommandLine &line, const Mesh &mesh) {
    int status = kExitWritten;
    platform::FileKind kind;
    std::string why;
    const gltf::FrameRule rule = gltf::frameRuleOf(mesh.format);
    const bool regular = platform::fileKind(line.scene, kind, why) && kind == platform::FileKind::Regular;
    if (regular)
        status = reportScene(
            line, rule,
            gltf::MeshSource{&mesh, gltf::runLayers(mesh, line.layers), gltf::meshName(line.model), line.weights});
    else if (!line.quiet || line.tree || !line.preview.empty() || !line.gltf.empty())
        std::fprintf(stderr, "spindle: %s: not a regular file, so the scene is not read back\n",
                     escapeControls(line.scene).c_str());
    if (!line.gltf.empty() && !regular)
        status = kExitNoScene; // no rig to write
    if (!line.quiet)
        for (const std::string &note : linkingNotes(mesh, line.layers, line.surfaces))
            std::fprintf(stderr, "%s\n", note.c_str());
    return status;
}

} // namespace

std::string defaultModulePath() {
    const std::string self = platform::programPath();
    if (self.empty())
        return "Spindle.p";
    const size_t start = platform::nameStart(self);
    const std::string folder = self.substr(0, start > 0 ? start - 1 : 0);
    const std::string separator(1, platform::separator());
    const std::string beside = folder + separator + "Spindle.p";
    if (platform::readable(beside))
        return beside;
    std::string installed = SPINDLE_MODULE_INSTALL_DIR;
    std::replace(installed.begin(), installed.end(), '/', platform::separator());
    return folder + separator + ".." + separator + installed + separator + "Spindle.p";
}

int spindleMain(int argc, char **argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    CommandLine line;
    std::string reason;
    // A file-size limit is reported as a failed write, not a killed process,
    // and the output carries its bytes as printed.
    platform::startCommand();
    if (!parseCommandLine(arguments, line, reason)) {
        std::fprintf(stderr, "spindle: %s\n", escapeControls(reason).c_str());
        return kExitUsage;
    }
    if (line.help) {
        std::fputs(usageText().c_str(), stdout);
        return kExitWritten;
    }
    if (line.version) {
        std::printf("spindle %s\n", SPINDLE_VERSION);
        return kExitWritten;
    }
    if (line.show)
        return showScene(line);

    if (platform::sameFile(line.scene, line.model)) {
        std::fprintf(stderr, "spindle: %s: would overwrite the model; name another scene with -o\n",
                     escapeControls(line.scene).c_str());
        return kExitUsage;
    }

    // The mesh reads a large model from the file's pages as the system maps
    // them: a program that cuts the file short meanwhile ends the run.
    platform::whenMappedFileCut(
        "spindle: " + escapeControls(line.model) + ": cut short by another program while it was read", kExitUsage);
    Mesh mesh;
    if (!readMesh(line.model, mesh, reason)) {
        std::fprintf(stderr, "spindle: %s: %s\n", escapeControls(line.model).c_str(), escapeControls(reason).c_str());
        return kExitUsage;
    }
    if (line.joinLines) {
        if (mesh.format != "OBJ") {
            std::fprintf(stderr, "spindle: %s: --join-lines joins the lines of an OBJ model, and this is %s\n",
                         escapeControls(line.model).c_str(), mesh.format.c_str());
            return kExitUsage;
        }
        joinLines(mesh);
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
    // Interrupts wait until the module's run is over (it takes well under a
    // second), so that a run never stops halfway through writing; a signal
    // that came meanwhile is acted on after it.
    platform::holdInterrupts();
    const RunResult run = runCommand(module, config);
    std::cerr.flush();
    unloadModule(module);

    // Success is read from the message: the result code is 0 for a failure
    // the module has shown as well, and only "Scene file created." says
    // that the scene was written.
    bool written = false;
    for (const Message &message : run.messages)
        written = written || (!message.isError && message.text == "Scene file created.");
    for (const std::string &label : run.textsCut) {
        std::fprintf(stderr, "spindle: the module read the text of \"%s\" only in part\n",
                     escapeControls(label).c_str());
        written = false;
    }
    int status = written ? kExitWritten : kExitNoScene;
    if (run.result != HOST_RESULT_OK)
        status = kExitModule;
    for (const RefusedEdit &refused : run.refusedEdits) {
        std::fprintf(stderr, "spindle: %s\n", escapeControls(refusal(refused)).c_str());
        status = kExitUsage;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    platform::releaseInterrupts();
    if (status == kExitWritten)
        status = reportRun(line, mesh);
    return status;
}

} // namespace standin
