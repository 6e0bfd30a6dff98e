// The stand-in modeler: offers its services to a loaded module through the
// global function and runs the module's command once.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "host/host.h"
#include "standin/modeler/loader.h"
#include "standin/mesh/mesh.h"
#include "standin/modeler/messages.h"
#include "standin/modeler/panels.h"

namespace standin {

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

// What one run did.
struct RunResult {
    int32_t result = -1;                 // the activation's result code
    std::vector<Message> messages;       // every message line shown, in order
    std::vector<std::string> transcript; // every call the module made, in words
    std::vector<PanelState> panels;      // every panel created, as it ended
    std::vector<std::string> textsCut;   // labels of texts the module read only in part
    std::vector<RefusedEdit> refusedEdits;
    int meshEditsBegun = 0;
    int meshEditsDone = 0;
};

// Runs the module's command once with the interface `version`.
RunResult runCommand(const Module &module, const HostConfig &config, int32_t version = 1);

} // namespace standin
