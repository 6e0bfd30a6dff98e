// The module's face to the host: the descriptor's server and the activation
// that drives one run.
#pragma once

#include "host/host.h"

namespace spindle {

// One use of the command, from the version test to the result code (the
// server record's activation).  version: the host's interface version;
// global: its service look-up; local: the CommandContext.  Returns
// HOST_RESULT_OK, HOST_RESULT_BAD_VERSION or HOST_RESULT_BAD_GLOBAL.
int32_t activate(int32_t version, GlobalFunc *global, void *local, void *serverData);

// Start-up returns this value; shut-down receives it back.
inline constexpr intptr_t kServerData = 4;

} // namespace spindle
