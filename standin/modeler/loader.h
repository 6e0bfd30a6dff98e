// Loading a module file as the modeler does.
#pragma once

#include <string>

#include "host/host.h"

namespace standin {

// A loaded module file with its command server started.
struct Module {
    void *handle = nullptr;
    const ModuleDescriptor *descriptor = nullptr;
    const ServerRecord *server = nullptr; // the "CommandSequence" server "Vant_Spindle"
    void *serverData = nullptr;           // start-up's value
};

// Opens the module file, checks its descriptor (sync word, version,
// machine), finds the command server and calls start-up.  On failure returns
// false with a one-line reason and leaves nothing loaded.
bool loadModule(const std::string &path, Module &module, std::string &reason);

// Calls shut-down with start-up's value and unloads the module.  Harmless on
// a module that is not loaded.
void unloadModule(Module &module);

} // namespace standin
