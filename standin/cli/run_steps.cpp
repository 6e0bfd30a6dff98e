// The model read and the module run for the `spindle` command.
#include "standin/cli/run_steps.h"

#include <cstdio>
#include <iostream>
#include <set>

#include "standin/cli/command.h"
#include "standin/modeler/modeler.h"
#include "standin/platform/platform.h"
#include "standin/readers/join_lines.h"
#include "standin/readers/read_mesh.h"
#include "standin/text/escape.h"
#include "standin/text/tell.h"

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

// True when `mesh` has every layer `line` names; else tells the first it
// lacks.
bool hasLayers(const CommandLine &line, const Mesh &mesh) {
    std::set<int> present;
    for (const MeshLayer &layer : mesh.layers)
        present.insert(layer.number);
    for (int layer : line.layers) {
        if (!present.count(layer)) {
            std::fprintf(stderr, "spindle: %s has no layer %d\n", escapeControls(line.model).c_str(), layer);
            return false;
        }
    }
    return true;
}

// The host as the command line sets it up for a run on `mesh`.
HostConfig runConfig(const CommandLine &line, const Mesh &mesh) {
    HostConfig config;
    config.keepTranscript = false;
    config.transcriptOut = line.transcript ? &std::cerr : nullptr;
    config.edits = panelEdits(line);
    config.cancel = line.cancel;
    config.mesh = &mesh;
    config.foreground.assign(line.layers.begin(), line.layers.end());
    config.selectedSurfaces = line.surfaces;
    return config;
}

// The exit status of a finished run, after telling the texts the module
// read only in part and the edits the panel refused.
int runStatus(const RunResult &run) {
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
    return status;
}

} // namespace

bool readModel(const CommandLine &line, Mesh &mesh) {
    if (platform::sameFile(line.scene, line.model)) {
        std::fprintf(stderr, "spindle: %s: would overwrite the model; name another scene with -o\n",
                     escapeControls(line.scene).c_str());
        return false;
    }
    // The mesh reads a large model from the file's pages as the system maps
    // them: a program that cuts the file short meanwhile ends the run.
    platform::whenMappedFileCut(
        "spindle: " + escapeControls(line.model) + ": cut short by another program while it was read", kExitUsage);
    std::string reason;
    if (!readMesh(line.model, mesh, reason)) {
        tellFileProblem(line.model, reason);
        return false;
    }
    if (line.joinLines) {
        if (mesh.format != "OBJ") {
            std::fprintf(stderr, "spindle: %s: --join-lines joins the lines of an OBJ model, and this is %s\n",
                         escapeControls(line.model).c_str(), mesh.format.c_str());
            return false;
        }
        joinLines(mesh);
    }
    return hasLayers(line, mesh);
}

int runModule(const CommandLine &line, const Mesh &mesh) {
    Module module;
    std::string reason;
    const std::string modulePath = line.module.empty() ? defaultModulePath() : line.module;
    if (!loadModule(modulePath, module, reason)) {
        tellFileProblem(modulePath, reason);
        return kExitModule;
    }
    const HostConfig config = runConfig(line, mesh);
    // Interrupts wait until the module's run is over (it takes well under a
    // second), so that a run never stops halfway through writing; a signal
    // that came meanwhile is acted on after it.
    platform::holdInterrupts();
    const RunResult run = runCommand(module, config);
    std::cerr.flush();
    unloadModule(module);
    const int status = runStatus(run);
    std::fflush(stdout);
    std::fflush(stderr);
    platform::releaseInterrupts();
    return status;
}

} // namespace standin
