// The `spindle` command: one run of the module on a model file, or the
// showing of a written scene, and the exit status it ends with.
#pragma once

#include <string>

namespace standin {

// Exit statuses of the command.
enum ExitStatus {
    kExitWritten = 0, // the scene file was written
    kExitNoScene = 1, // the run ended without a scene (a failure shown, or Cancel)
    kExitUsage = 2,   // bad command line or unreadable model file
    kExitModule = 3,  // the module could not be loaded or refused the run
};

// The module built or installed with the command.
std::string defaultModulePath();

// A file built or installed with the command: `name` beside the program
// (the build tree, and every file on Windows) when it is there, else in
// `installDir` (relative to the program's folder's parent, '/'-separated).
std::string installedFile(const std::string &name, const std::string &installDir);

// The whole command: parses, reads the model, loads the module, runs it
// once and returns the exit status.
int spindleMain(int argc, char **argv);

} // namespace standin
