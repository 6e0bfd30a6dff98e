// The stand-in modeler: offers its services to a loaded module through the
// global function and runs the module's command once.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "host/host.h"
#include "standin/modeler/host_config.h"
#include "standin/modeler/loader.h"
#include "standin/modeler/messages.h"
#include "standin/modeler/panels.h"

namespace standin {

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
