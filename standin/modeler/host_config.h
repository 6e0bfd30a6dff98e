// How the stand-in modeler and its user answer one run of a module: the
// services offered, the failures to play, the user's panel edits and the
// model the mesh edit hands over.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "host/host.h"
#include "standin/mesh/mesh.h"

namespace standin {

// A user's edit on the open panel, naming the control by its label as the
// panel shows it.  The value is the text of a text control, "on" or "off"
// for a check box, or an item of a choice control's own list (any case).
// The edit fires the control's event function as a real change does.
struct PanelEdit {
    std::string label;
    std::string value;
};

// The screen the stand-in's panels are shown on, unless a run says otherwise.
inline constexpr DisplayMetrics kDefaultScreen = {1280, 1024, 1280, 1024, 16777216, 24, 14, 11};

// How the modeler and its user answer one run.
struct HostConfig {
    // Services the global function offers.
    bool offerMessages = true;
    bool offerDisplay = true;
    bool offerPanels = true;
    // Failures to play.
    bool refusePanel = false;     // create answers null
    int refuseControl = 0;        // addControl answers null for this control (1..n), 0: none
    bool refuseMeshEdit = false;  // editBegin answers null
    bool refusePointInfo = false; // pointInfo answers null
    // Messages go to standard output (info) and standard error (error).
    bool echoMessages = true;
    // Keep the transcript in the result; also stream it here if set.
    bool keepTranscript = true;
    std::ostream *transcriptOut = nullptr;
    DisplayMetrics metrics = kDefaultScreen;
    // The user's answer to the panel: the edits, then OK or Cancel.
    std::vector<PanelEdit> edits;
    bool cancel = false;
    // The model, its foreground layers (empty: every layer) and the
    // surfaces whose polygons are selected (empty: every polygon).
    const Mesh *mesh = nullptr;
    std::vector<int32_t> foreground;
    std::vector<std::string> selectedSurfaces;
};

} // namespace standin
