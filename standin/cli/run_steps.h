// The steps of one run of the `spindle` command between its command line
// and its report: the model read, then the module run on it.  Each tells
// what went wrong as one line "spindle: ..." on standard error.
#pragma once

#include "standin/cli/command_line.h"
#include "standin/mesh/mesh.h"

namespace standin {

// Reads the model that `line` names into `mesh`, its lines joined for
// --join-lines, and checks that it has the layers asked for.  False after
// telling why (the run ends with kExitUsage): the scene path names the
// model itself, the model cannot be read, --join-lines for a model that is
// not OBJ, or a layer it lacks.
bool readModel(const CommandLine &line, Mesh &mesh);

// Loads the module (line.module, else defaultModulePath()), runs its
// command once on `mesh` with the panel edits of `line`, and unloads it;
// interrupts wait meanwhile.  Returns the run's exit status: kExitWritten
// when the module said it wrote the scene, kExitNoScene when it did not or
// read a text only in part, kExitModule when it could not be loaded or
// refused the run, kExitUsage for an edit the panel refused.
int runModule(const CommandLine &line, const Mesh &mesh);

} // namespace standin
