// The options of the spindle command: one table of every option with its
// argument, its help line and its effect.
#pragma once

#include <span>
#include <string_view>

namespace standin {

enum class Effect {
    PanelText,   // types the value into the control `label`
    PanelChoice, // picks the item named by the value in the control `label`
    PanelSwitch, // --NAME turns the check box `label` on, --no-NAME off
    Cancel,
    Layer,
    Surface,
    Module,
    Transcript,
    Help,
    Version,
    Quiet,        // no summary line and no linking notes
    Tree,         // print the written scene's hierarchy
    Preview,      // draw the written scene into an SVG file
    ShowBones,    // spindle show: the bone table instead of the tree
    ShowPicture,  // spindle show: draw the scene into an SVG file, or write its rig as glTF
    Gltf,         // write the rig of the written scene as glTF too
    JoinLines,    // join OBJ lines that continue one another into one curve
    Weights,      // how the glTF's mesh is bound to its bones: surface or distance
    View,         // write the page that shows the rig (a run's --view, spindle view's -o)
    ViewTemplate, // the page template to fill, instead of the one built or installed with spindle
};

// The commands an option belongs to, as bits.
enum OptionCommands : unsigned {
    kForRun = 1,  // spindle [OPTIONS] MODEL
    kForShow = 2, // spindle show
    kForView = 4, // spindle view
};

struct OptionRow {
    const char *section;   // heading of the help text it is listed under
    const char *shortName; // "-o", or null
    const char *name;      // "--scene"; for a switch the name after "--[no-]"
    const char *argument;  // "PATH", or null for an option without a value
    const char *help;      // null: left out of the help (an option for the tests)
    Effect effect;
    const char *label;           // the panel control it sets, or null
    unsigned commands = kForRun; // the commands that take it (OptionCommands)
};

// Every option, in the order the help lists them.
std::span<const OptionRow> optionTable();

// The row whose name is `name` ("--scene", "goal-objects"), which must be
// in the table.
const OptionRow &optionNamed(std::string_view name);

} // namespace standin
