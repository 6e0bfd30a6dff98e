// Loading a module file as the modeler does: open it, read its descriptor,
// check it, find the command server and start it.
#include <cstdio>
#include <cstring>

#include "standin/modeler/loader.h"
#include "standin/platform/platform.h"

namespace standin {

namespace {

constexpr const char *kServerClass = "CommandSequence";
constexpr const char *kServerName = "Vant_Spindle";

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

bool refuse(void *handle, std::string &reason, std::string text) {
    if (handle)
        platform::closeLibrary(handle);
    reason = std::move(text);
    return false;
}

} // namespace

bool loadModule(const std::string &path, Module &module, std::string &reason) {
    module = Module{};
    std::string why;
    void *handle = platform::openLibrary(path, why);
    if (!handle)
        return refuse(nullptr, reason, "not a loadable module (" + why + ")");
    const auto *descriptor =
        static_cast<const ModuleDescriptor *>(platform::findSymbol(handle, HOST_DESCRIPTOR_SYMBOL));
    if (!descriptor)
        return refuse(handle, reason, "no module descriptor: the file does not export _mod_descrip");
    if (descriptor->sysSync != HOST_SYNC_WORD)
        return refuse(handle, reason, "wrong sync word " + hex(descriptor->sysSync) + " in the module descriptor");
    if (descriptor->sysVersion != HOST_DESCRIPTOR_VERSION)
        return refuse(handle, reason,
                      "unsupported descriptor version " + std::to_string(descriptor->sysVersion) +
                          " (this host reads version 3)");
    if (descriptor->sysMachine != HOST_MACHINE)
        return refuse(handle, reason,
                      "wrong machine identifier " + hex(descriptor->sysMachine) + " in the module descriptor");
    const ServerRecord *server = nullptr;
    for (const ServerRecord *record = descriptor->serverDefs; record && record->className; ++record) {
        if (std::strcmp(record->className, kServerClass) == 0 && record->name &&
            std::strcmp(record->name, kServerName) == 0 && record->activate) {
            server = record;
            break;
        }
    }
    if (!server)
        return refuse(handle, reason, "no CommandSequence server \"Vant_Spindle\" in the module");
    if (!descriptor->startup)
        return refuse(handle, reason, "the module has no start-up function");
    module.handle = handle;
    module.descriptor = descriptor;
    module.server = server;
    module.serverData = descriptor->startup();
    return true;
}

void unloadModule(Module &module) {
    if (!module.handle)
        return;
    if (module.descriptor->shutdown)
        module.descriptor->shutdown(module.serverData);
    platform::closeLibrary(module.handle);
    module = Module{};
}

} // namespace standin
