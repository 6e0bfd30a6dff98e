// The host services of the current run, at the bottom of the module: every
// layer above reaches the host through them, and nothing here knows those
// layers.
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
// host.messages must be set.
void showError(const char *text);
// Shows one line through the info display of "Info Messages".
// host.messages must be set.
void showInfo(const char *text);

} // namespace spindle
