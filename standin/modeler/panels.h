// "LWPanelServices": real panels and controls with their layout, values,
// ghosting and event functions, and the user who answers them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "standin/modeler/transcript.h"

namespace standin {

// A user's edit on the open panel, naming the control by its label as the
// panel shows it.  The value is the text of a text control, "on" or "off"
// for a check box, or an item of a choice control's own list (any case).
// The edit fires the control's event function as a real change does.
struct PanelEdit {
    std::string label;
    std::string value;
};

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

// The screen the stand-in's panels are shown on, unless a run says otherwise.
inline constexpr DisplayMetrics kDefaultScreen = {1280, 1024, 1280, 1024, 16777216, 24, 14, 11};

// The panel services of one run and what became of them.
struct PanelRoom {
    // How the host and the user answer.
    bool refusePanel = false; // create answers null
    int refuseControl = 0;    // addControl answers null for this control (1..n), 0: none
    DisplayMetrics metrics = kDefaultScreen;
    std::vector<PanelEdit> edits;     // made in order once the panel opens
    bool cancel = false;              // then OK, or Cancel
    Transcript *transcript = nullptr; // must be set

    // What happened.
    std::vector<std::unique_ptr<PanelState>> panels; // every panel created, in order
    std::vector<std::string> textsCut;               // labels of texts the module read only in part, per read
    std::vector<RefusedEdit> refused;
};

// A fresh "LWPanelServices" table serving `room` until closePanels.
PanelServices *panelServices(PanelRoom &room);

// Ends the run's panels: no handle the module was given stays valid.
void closePanels(PanelRoom &room);

} // namespace standin
