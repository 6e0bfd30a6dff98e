// The `spindle` command: its command line and one run of the module on a
// model file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "standin/host.h"

namespace standin {

// Exit statuses of the command.
enum ExitStatus {
    kExitWritten = 0,    // the scene file was written
    kExitNoScene = 1,    // the run ended without a scene (a failure shown, or Cancel)
    kExitUsage = 2,      // bad command line or unreadable model file
    kExitModule = 3,     // the module could not be loaded or refused the run
};

// The most bytes the panel's text controls hand the module: it reads each
// path with room for 1023 bytes and the terminator.
inline constexpr size_t kPanelTextLimit = 1022;

struct CommandLine {
    std::string model;
    std::optional<std::string> scene;   // typed into "Scene File "; default MODEL with .lws
    std::optional<std::string> object;  // typed into "Object File"
    std::optional<int> boneColor;
    std::optional<int> goalColor;
    // The six switches, panel controls 4, 5, 6, 8, 9 and 10.
    std::optional<bool> surfaceNames, activeBones, goalObjects, ngSuffix, goalBones, optimizeGoalParent;
    bool cancel = false;
    std::vector<int> layers;
    std::vector<std::string> surfaces;
    std::string module;                 // empty: the module beside the command
    bool transcript = false;
    bool help = false;
    bool version = false;
};

// Parses the arguments after the command name.  On a bad command line
// returns false with a one-line reason.
bool parseCommandLine(const std::vector<std::string> &arguments, CommandLine &line, std::string &reason);

// The panel edits a user makes for these options, in the order a user
// must make them on a panel that ghosts the goal controls: "Create Goal
// object" turned on before the goal controls are set, turned off after.
std::vector<PanelEdit> panelEdits(const CommandLine &line);

// MODEL with its extension replaced by ".lws".
std::string defaultScenePath(const std::string &model);

// The colour index of a name (any case), or -1.
int colorIndex(const std::string &name);

// True when both paths name one existing file (through links or other
// spellings of the path as well).
bool sameFile(const std::string &a, const std::string &b);

// The module built or installed with the command.
std::string defaultModulePath();

// The whole command: parses, reads the model, loads the module, runs it
// once and returns the exit status.
int spindleMain(int argc, char **argv);

// The usage text printed by --help.
extern const char *const kUsage;

} // namespace standin
