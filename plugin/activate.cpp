#include "plugin/plugin.h"

namespace spindle {
HostServices host;
void showError(const char *text) { if (host.messages) host.messages->error(text, nullptr); }
void showInfo(const char *text) { if (host.messages) host.messages->info(text, nullptr); }
int32_t activate(int32_t, GlobalFunc *, void *, void *) { return 0; }
} // namespace spindle
