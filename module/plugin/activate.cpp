// One run of the command, from the version test to the result code.  Every
// stage that fails ends the run through `endRun`, which releases the curves
// and destroys the panel, so nothing a run acquires outlives it.
#include <cstdio>

#include "module/model/model.h"
#include "module/panel/panel.h"
#include "module/plugin/plugin.h"
#include "module/scene/scene.h"
#include "module/services/services.h"

namespace spindle {

namespace {

// Every way out of a run after the version test passes through here.
int32_t endRun(CurveTable &table, int32_t result) {
    table.release();
    destroyPanel();
    host.meshEdit = nullptr;
    return result;
}

// Fetches the three services; false when any is missing.
bool fetchServices(GlobalFunc *global) {
    host.messages = static_cast<const MessageServices *>(global(HOST_MESSAGE_SERVICE, 0));
    host.display = static_cast<const HostDisplayInfo *>(global(HOST_DISPLAY_SERVICE, 0));
    host.panels = static_cast<PanelServices *>(global(HOST_PANEL_SERVICE, 0));
    return host.messages && host.display && host.panels;
}

} // namespace

int32_t activate(int32_t version, GlobalFunc *global, void *local, void * /*serverData*/) {
    CurveTable table; // the run's own storage: 1000 cleared curves

    if (version < HOST_VERSION_MIN || version > HOST_VERSION_MAX)
        return HOST_RESULT_BAD_VERSION;

    host = HostServices{};
    if (!fetchServices(global)) {
        if (host.messages)
            showError("Bad global!");
        else
            std::fputs("Bad global!\n", stderr);
        return endRun(table, HOST_RESULT_BAD_GLOBAL);
    }

    switch (runPanel(global)) {
    case PanelOutcome::NotCreated: showError("Couldn't create dialog!"); return endRun(table, HOST_RESULT_OK);
    case PanelOutcome::Cancelled: return endRun(table, HOST_RESULT_OK);
    case PanelOutcome::Confirmed: break;
    }

    // Collection: the scan fills the table; the edit is closed unchanged
    // whatever the scan answered.
    const CommandContext *context = static_cast<const CommandContext *>(local);
    table.count = 0;
    host.meshEdit = context ? context->editBegin(0, 0, 1) : nullptr;
    if (!host.meshEdit) {
        showError("Cannot mesh edit!");
        return endRun(table, HOST_RESULT_BAD_GLOBAL);
    }
    const int32_t scanResult =
        host.meshEdit->polyScan(host.meshEdit->state, collectCurve, &table, HOST_LAYERS_FOREGROUND);
    host.meshEdit->done(host.meshEdit->state, 0, 0);
    host.meshEdit = nullptr;
    if (scanResult != 0)
        return endRun(table, HOST_RESULT_OK);
    if (table.count == 0) {
        showError("Thare are no curve.");
        return endRun(table, HOST_RESULT_OK);
    }

    // Linking, the loop check and the bone limit of the scene's item ids,
    // all before anything is converted or written.
    const int32_t chainBones = linkChains(table, options);
    if (findLoop(table)) {
        showError("Detect a loop.");
        return endRun(table, HOST_RESULT_OK);
    }
    if (chainBones + countGoalBones(table, options) > kMaxBones) {
        char message[64];
        std::snprintf(message, sizeof message, "Number of bone is over %d.", kMaxBones);
        showError(message);
        return endRun(table, HOST_RESULT_OK);
    }
    // Every bone into its parent's frame (toParentFrame, model/frames.cpp),
    // then the goal-bone list.
    GoalBoneList goalBones;
    finishChains(table, options, goalBones);

    writeScene(table, goalBones, options);
    return endRun(table, HOST_RESULT_OK);
}

} // namespace spindle
