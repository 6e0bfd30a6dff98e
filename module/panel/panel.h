// The options panel: the stored Options and paths that persist from run to
// run while the module stays loaded, and the panel that edits them.
#pragma once

#include <cstdint>

#include "host/host.h"

namespace spindle {

// The eight option values.  A switch is off when 0; a colour is an index
// into the colour list (0 Blue .. 6 White).
struct Options {
    int32_t boneColor = 1;
    int32_t useSurfaceName = 1;
    int32_t activateBone = 1;
    int32_t createGoalObject = 1;
    int32_t goalColor = 3;
    int32_t skipGoalOnNgSuffix = 1;
    int32_t createGoalBone = 1;
    int32_t optimizeGoalParent = 0;
};

inline constexpr int kPathSize = 1024;
inline constexpr int kColorCount = 7;

// Module storage: what the panel of every run shows and OK stores.
extern Options options;
extern char sceneFilePath[kPathSize];
extern char objectFilePath[kPathSize];

// The colour names in index order, null-terminated.
extern const char *const colorNames[kColorCount + 1];

enum class PanelOutcome { NotCreated, Cancelled, Confirmed };

// Creates, builds, loads and opens the panel through `host.panels`, handing
// the host's `global` to the panel services.  On OK the options are stored.
// NotCreated when the host refused the panel or one of its controls.  The
// panel, once created, stays in existence until destroyPanel.
PanelOutcome runPanel(GlobalFunc *global);

// Copies the scene control's text into sceneFilePath and returns it.  With
// no panel in existence the stored path is returned unchanged.
const char *readScenePath();

// Copies the object control's text into objectFilePath and returns it.  With
// no panel in existence the stored path is returned unchanged.
const char *readObjectPath();

// Destroys the panel if one exists; harmless otherwise.
void destroyPanel();

// Event function of "Create Goal object ...": draws the four goal controls
// normal or ghosted after the check box's current value.
void goalToggleEvent(Control *control, void *userData);

} // namespace spindle
