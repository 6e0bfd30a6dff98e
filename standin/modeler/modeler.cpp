// One activation of a module's command with the stand-in's services: the
// global function hands out "Info Messages", "Host Display Info" and
// "LWPanelServices"; the command context hands out the mesh edit.
#include "standin/modeler/modeler.h"

#include <cassert>

#include "standin/modeler/mesh_edit.h"

namespace standin {

namespace {

// The services of the run in progress, for the global function.
struct Offer {
    const HostConfig *config = nullptr;
    Transcript *transcript = nullptr;
    const MessageServices *messages = nullptr;
    HostDisplayInfo display{};
    PanelServices *panels = nullptr;
};

Offer offer;

void *global(const char *serviceName, int32_t useMode) {
    assert(offer.config != nullptr);
    const std::string name = serviceName ? serviceName : "";
    void *found = nullptr;
    if (name == HOST_MESSAGE_SERVICE && offer.config->offerMessages)
        found = const_cast<MessageServices *>(offer.messages);
    else if (name == HOST_DISPLAY_SERVICE && offer.config->offerDisplay)
        found = &offer.display;
    else if (name == HOST_PANEL_SERVICE && offer.config->offerPanels)
        found = offer.panels;
    offer.transcript->record("global " + quoted(serviceName) + " " + std::to_string(useMode) +
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

    PanelRoom panels;
    panels.refusePanel = config.refusePanel;
    panels.refuseControl = config.refuseControl;
    panels.metrics = config.metrics;
    panels.edits = config.edits;
    panels.cancel = config.cancel;
    panels.transcript = &transcript;

    MeshEditRoom meshEdit;
    meshEdit.mesh = config.mesh;
    meshEdit.foreground = config.foreground;
    meshEdit.selectedSurfaces = config.selectedSurfaces;
    meshEdit.refuseMeshEdit = config.refuseMeshEdit;
    meshEdit.refusePointInfo = config.refusePointInfo;
    meshEdit.transcript = &transcript;

    const Offer previous = offer;
    offer = Offer{&config, &transcript, messageServices(messages), HostDisplayInfo{}, panelServices(panels)};
    CommandContext *context = commandContext(meshEdit);

    transcript.record("activate version " + std::to_string(version));
    RunResult run;
    run.result = module.server->activate(version, global, context, module.serverData);
    transcript.record("activate -> " + std::to_string(run.result));
    closePanels(panels);
    offer = previous;

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
