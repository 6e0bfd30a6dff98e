// The `spindle` command line: its options, read into one record, and the
// panel edits they stand for.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "standin/gltf/mesh_document.h"
#include "standin/modeler/host_config.h"

namespace standin {

// The most bytes the panel's text controls hand the module: it reads each
// path with room for 1023 bytes and the terminator.
inline constexpr size_t kPanelTextLimit = 1022;

struct OptionRow;

struct CommandLine {
    std::string model; // for `spindle show`: the scene file
    std::string scene; // typed into "Scene File ": -o, or MODEL with .lws
    // The value given last for each panel option, by its row.
    std::map<const OptionRow *, std::string> panelValues;
    bool cancel = false;
    std::vector<int> layers;
    std::vector<std::string> surfaces;
    std::string module; // empty: the module beside the command
    bool transcript = false;
    bool help = false;
    bool version = false;
    bool quiet = false;                             // no summary line, no linking notes
    bool tree = false;                              // print the written scene's tree
    std::string preview;                            // draw the written scene here; empty: no picture
    std::string gltf;                               // write the written scene's rig here as glTF; empty: none
    bool joinLines = false;                         // join OBJ lines that continue one another
    gltf::Weights weights = gltf::Weights::Surface; // how the glTF's mesh is bound to the bones
    // `spindle show SCENE`: the tree, or the bone table, or a picture (or
    // the rig as glTF, for a .glb or .gltf file).
    bool show = false;
    bool showBones = false;
    std::string showPicture;
    // The page that shows the rig: a run's --view, or `spindle view SCENE
    // -o PAGE` (viewScene); empty: no page.  viewTemplate: the template to
    // fill; empty: the one built or installed with the command.
    std::string view;
    std::string viewTemplate;
    bool viewScene = false;
};

// Parses the arguments after the command name.  On a bad command line
// returns false with a one-line reason.
bool parseCommandLine(const std::vector<std::string> &arguments, CommandLine &line, std::string &reason);

// The panel edits a user makes for these options, in the order a user
// must make them on a panel that ghosts the goal controls: "Create Goal
// object" turned on before the goal controls are set, turned off after.
std::vector<PanelEdit> panelEdits(const CommandLine &line);

// The option that sets the control `label`, as the user typed it
// ("--bone-color"), or the label itself when no option does.
std::string optionFor(const std::string &label);

// MODEL with its extension replaced by ".lws".
std::string defaultScenePath(const std::string &model);

// The usage text printed by --help, made from the option table.
const std::string &usageText();

} // namespace standin
