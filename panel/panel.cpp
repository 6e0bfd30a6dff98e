#include "panel/panel.h"

namespace spindle {
Options options;
char sceneFilePath[kPathSize];
char objectFilePath[kPathSize];
const char *const colorNames[kColorCount + 1] = {"Blue", "Green", "Cyan", "Red", "Purple", "Yellow", "White", nullptr};
PanelOutcome runPanel(GlobalFunc *) { return PanelOutcome::NotCreated; }
const char *readScenePath() { return sceneFilePath; }
const char *readObjectPath() { return objectFilePath; }
void destroyPanel() {}
void goalToggleEvent(Control *, void *) {}
void resetStoredOptions() { options = Options{}; sceneFilePath[0] = 0; objectFilePath[0] = 0; }
} // namespace spindle
