// "LWPanelServices": real panels and controls with their layout, values,
// ghosting and event functions, and the user who answers them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "standin/modeler/host_config.h"
#include "standin/modeler/transcript.h"

namespace standin {

// What one control holds.
struct ControlState {
    std::string kind; // "FileControl", "PopupControl", "BoolControl"
    std::string label;
    int32_t descKind = 0;
    int32_t width = 0;
    std::vector<std::string> items;
    int32_t integer = 0;
    std::string text;
    bool ghosted = false;
    ControlEvent *event = nullptr;
    void *eventData = nullptr;
};

// One panel the module created, as it stands.
struct PanelState {
    std::string title;
    std::vector<ControlState> controls;
    std::vector<ControlState> shown; // the controls as the user saw them at open
    int32_t left = 0, top = 0;
    bool opened = false;
    bool destroyed = false;
};

// An edit the user could not make: no control has the label, or the value
// does not suit the control.  The user then answers Cancel.
struct RefusedEdit {
    PanelEdit edit;
    std::vector<std::string> items; // a choice control's items, for the user's message
};

// The panel services of one run and what became of them.
struct PanelSession {
    // How the host and the user answer (refusePanel, refuseControl,
    // metrics, edits, cancel), and where the calls are told; both must be set.
    const HostConfig *config = nullptr;
    Transcript *transcript = nullptr;

    // What happened.
    std::vector<std::unique_ptr<PanelState>> panels; // every panel created, in order
    std::vector<std::string> textsCut;               // labels of texts the module read only in part, per read
    std::vector<RefusedEdit> refused;
};

// A fresh "LWPanelServices" table serving `session` until closePanels.
PanelServices *panelServices(PanelSession &session);

// Ends the run's panels: no handle the module was given stays valid.
void closePanels(PanelSession &session);

} // namespace standin
