// The module's one exported symbol: the descriptor the host reads on loading,
// with the server list, start-up and shut-down.
#include "host/host.h"
#include "module/plugin/plugin.h"

namespace {

void *startup() { return reinterpret_cast<void *>(spindle::kServerData); }

void shutdown(void *) {}

int32_t activateCommand(int32_t version, GlobalFunc *global, void *local, void *serverData) {
    return spindle::activate(version, global, local, serverData);
}

const ServerRecord serverList[] = {
    {"CommandSequence", "Vant_Spindle", activateCommand},
    {nullptr, nullptr, nullptr},
};

} // namespace

// The export itself: on Windows the definition file (exports.def) names it,
// elsewhere the version script (exports.map) and its default visibility.
#if defined(_WIN32)
#define SPINDLE_EXPORT
#else
#define SPINDLE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" SPINDLE_EXPORT const ModuleDescriptor _mod_descrip = {
    HOST_SYNC_WORD, HOST_DESCRIPTOR_VERSION, HOST_MACHINE, startup, shutdown, serverList,
};
