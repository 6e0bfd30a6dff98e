// The run's host services and its two message calls.
#include "module/services/services.h"

#include <cassert>

namespace spindle {

HostServices host;

void showError(const char *text) {
    assert(host.messages != nullptr);
    host.messages->error(text, nullptr);
}

void showInfo(const char *text) {
    assert(host.messages != nullptr);
    host.messages->info(text, nullptr);
}

} // namespace spindle
