// One activation of a module's command with the stand-in's services: the
// global function hands out "Info Messages", "Host Display Info" and
// "LWPanelServices"; the command context hands out the mesh edit.
#include "standin/modeler/modeler.h"

#include <cassert>

#include "standin/modeler/mesh_edit.h"

namespace standin {

namespace {

// The services of the run in progress, for the global function.
struct RunServices {
    const HostConfig *config = nullptr;
    Transcript *transcript = nullptr;
    const MessageServices *messages = nullptr;
    HostDisplayInfo display{};
    PanelServices *panels = nullptr;
};

RunServices current;

void *global(const char *serviceName, int32_t useMode) {
    assert(current.config != nullptr);
    const std::string name = serviceName ? serviceName : "";
    void *found = nullptr;
    if (name == HOST_MESSAGE_SERVICE && current.config->offerMessages)
        found = const_cast<MessageServices *>(current.messages);
    else if (name == HOST_DISPLAY_SERVICE && current.config->offerDisplay)
        found = &current.display;
    else if (name == HOST_PANEL_SERVICE && current.config->offerPanels)
        found = current.panels;
    current.transcript->record("global " + quoted(serviceName) + " " + std::to_string(useMode) +
                               (found ? " -> service" : " -> null"));
    return found;
}

} // namespace

RunResult runCommand(const Module &module, const HostConfig &config, int32_t version) {
    assert(module.server != nullptr);
    Transcript transcript;
    transcript.keep = config.keepTranscript;
    transcript.out = config.transcriptOut;

    MessageLog messages;
    messages.echo = config.echoMessages;
    messages.transcript = &transcript;

    PanelSession panels;
    panels.config = &config;
    panels.transcript = &transcript;

    MeshEditSession meshEdit;
    meshEdit.config = &config;
    meshEdit.transcript = &transcript;

    const RunServices previous = current;
    current = RunServices{&config, &transcript, messageServices(messages), HostDisplayInfo{}, panelServices(panels)};
    CommandContext *context = commandContext(meshEdit);

    transcript.record("activate version " + std::to_string(version));
    RunResult run;
    run.result = module.server->activate(version, global, context, module.serverData);
    transcript.record("activate -> " + std::to_string(run.result));
    closePanels(panels);
    current = previous;

    run.messages = std::move(messages.shown);
    run.transcript = std::move(transcript.lines);
    for (const auto &panel : panels.panels)
        run.panels.push_back(*panel);
    run.textsCut = std::move(panels.textsCut);
    run.refusedEdits = std::move(panels.refused);
    run.meshEditsBegun = meshEdit.begun;
    run.meshEditsDone = meshEdit.done;
    return run;
}

} // namespace standin
