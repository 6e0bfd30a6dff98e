// The module's face to the host: the activation that drives one run, and the
// host services every stage of a run reaches through module storage.
#pragma once

#include "host/host.h"

namespace spindle {

// The host services and the mesh edit of the current run.  Set afresh by
// every activation (services after the version test, the mesh edit while the
// scan runs); valid only within that run.
struct HostServices {
    const MessageServices *messages = nullptr;
    const HostDisplayInfo *display = nullptr;
    PanelServices *panels = nullptr;
    MeshEditOp *meshEdit = nullptr;
};
extern HostServices host;

// Shows one line through the error display of "Info Messages".
void showError(const char *text);
// Shows one line through the info display of "Info Messages".
void showInfo(const char *text);

// One use of the command, from the version test to the result code (the
// server record's activation).  version: the host's interface version;
// global: its service look-up; local: the CommandContext.  Returns
// HOST_RESULT_OK, HOST_RESULT_BAD_VERSION or HOST_RESULT_BAD_GLOBAL.
int32_t activate(int32_t version, GlobalFunc *global, void *local, void *serverData);

// Start-up returns this value; shut-down receives it back.
inline constexpr intptr_t kServerData = 4;

} // namespace spindle
