// The command line: one table of every option with its argument, its help
// line and its effect, parsed in one place.
#include "standin/cli/command.h"
#include "standin/cli/command_line.h"

#include <cassert>
#include <cctype>
#include <string_view>

#include "standin/gltf/gltf_options.h"
#include "standin/platform/platform.h"

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
    Quiet,       // no summary line and no linking notes
    Tree,        // print the written scene's hierarchy
    Preview,     // draw the written scene into an SVG file
    ShowBones,   // spindle show: the bone table instead of the tree
    ShowPicture, // spindle show: draw the scene into an SVG file, or write its rig as glTF
    Gltf,        // write the rig of the written scene as glTF too
    JoinLines,   // join OBJ lines that continue one another into one curve
};

struct OptionRow {
    const char *section;   // heading of the help text it is listed under
    const char *shortName; // "-o", or null
    const char *name;      // "--scene"; for a switch the name after "--[no-]"
    const char *argument;  // "PATH", or null for an option without a value
    const char *help;
    Effect effect;
    const char *label; // the panel control it sets, or null
    bool show = false; // an option of `spindle show` rather than of a run
};

namespace {

const OptionRow kOptions[] = {
    {"Panel", "-o", "--scene", "PATH", "scene file to write (default: MODEL with .lws)", Effect::PanelText,
     "Scene File "},
    {"Panel", nullptr, "--object", "PATH", "object file for the scene to load", Effect::PanelText, "Object File"},
    {"Panel", nullptr, "--bone-color", "C", "Blue, Green, Cyan, Red, Purple, Yellow or White", Effect::PanelChoice,
     "Bone color"},
    {"Panel", nullptr, "--goal-color", "C", "the same colours, for the goal objects", Effect::PanelChoice,
     "Goal color"},
    {"Panel", nullptr, "surface-names", nullptr, "name bones after their curve's surface", Effect::PanelSwitch,
     "Use surface name for Bone name"},
    {"Panel", nullptr, "active-bones", nullptr, "write the bones as active", Effect::PanelSwitch, "Activate Bone"},
    {"Panel", nullptr, "goal-objects", nullptr, "make goal null objects at the chain tips", Effect::PanelSwitch,
     "Create Goal object (Name : \"<Bone name>_Goal\")"},
    {"Panel", nullptr, "ng-suffix", nullptr, "no goal for surfaces ending in \"_NG\"", Effect::PanelSwitch,
     "Don't create goal if surface name has \"_NG\" suffix"},
    {"Panel", nullptr, "goal-bones", nullptr, "make a goal bone for each goal", Effect::PanelSwitch,
     "Create 'Goal bone'"},
    {"Panel", nullptr, "optimize-goal-parent", nullptr, "place each goal under a better parent bone",
     Effect::PanelSwitch, "Optimize goal's parent"},
    {"Panel", nullptr, "--cancel", nullptr, "answer the panel with Cancel", Effect::Cancel, nullptr},
    {"Mesh", nullptr, "--layer", "N", "a foreground layer (repeatable; default: all)", Effect::Layer, nullptr},
    {"Mesh", nullptr, "--surface", "NAME", "select only polygons of this surface (repeatable)", Effect::Surface,
     nullptr},
    {"Mesh", nullptr, "--join-lines", nullptr, gltf::kJoinLinesHelp, Effect::JoinLines, nullptr},
    {"Checking", nullptr, "--tree", nullptr, "print the bone tree of the scene written", Effect::Tree, nullptr},
    {"Checking", nullptr, "--preview", "FILE", "draw the scene written in three views into FILE (SVG)", Effect::Preview,
     nullptr},
    {"Checking", "-q", "--quiet", nullptr, "no summary line and no linking notes", Effect::Quiet, nullptr},
    {"Other tools", nullptr, "--gltf", "FILE", gltf::kGltfHelp, Effect::Gltf, nullptr},
    {"Other", nullptr, "--module", "PATH", "the module file to load", Effect::Module, nullptr},
    {"Other", nullptr, "--transcript", nullptr, "print every call the module makes into the host", Effect::Transcript,
     nullptr},
    {"Other", "-h", "--help", nullptr, "show this help", Effect::Help, nullptr},
    {"Other", nullptr, "--version", nullptr, "show the version", Effect::Version, nullptr},
    {"spindle show SCENE", nullptr, "--bones", nullptr, "one tab-separated line per bone instead of the tree",
     Effect::ShowBones, nullptr, true},
    {"spindle show SCENE", "-o", "--picture", "FILE", gltf::kShowOutputHelp, Effect::ShowPicture, nullptr, true},
};

// The row whose name is `name` ("--scene", "goal-objects"), which must be
// in the table.
const OptionRow &optionNamed(std::string_view name) {
    for (const OptionRow &row : kOptions)
        if (name == row.name)
            return row;
    assert(false && "no option of that name");
    return kOptions[0];
}

// The option as the user writes it: "--scene", or "--NAME" for a switch.
std::string longName(const OptionRow &row) {
    return row.effect == Effect::PanelSwitch ? std::string("--") + row.name : std::string(row.name);
}

bool parseLayer(const std::string &text, int &layer) {
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    layer = std::stoi(text);
    return layer >= 1;
}

// Finds the row of `argument`; `on` tells --NAME from --no-NAME for a switch.
const OptionRow *findOption(const std::string &argument, bool show, bool &on) {
    for (const OptionRow &row : kOptions) {
        if (row.show != show && row.effect != Effect::Help)
            continue;
        on = true;
        if ((row.shortName && argument == row.shortName) || argument == longName(row))
            return &row;
        on = false;
        if (row.effect == Effect::PanelSwitch && argument == std::string("--no-") + row.name)
            return &row;
    }
    return nullptr;
}

// Takes one option's effect; false with a reason when its value is bad.
bool apply(const OptionRow &row, bool on, const std::string &value, CommandLine &line, std::string &reason) {
    switch (row.effect) {
    case Effect::PanelText:
        // A longer text would reach the module cut short, naming another file.
        if (value.size() > kPanelTextLimit) {
            reason = "option " + std::string(row.name) + " takes a path of at most " + std::to_string(kPanelTextLimit) +
                " bytes (the panel's text controls hold no more)";
            return false;
        }
        line.panelValues[&row] = value;
        return true;
    case Effect::PanelChoice: line.panelValues[&row] = value; return true;
    case Effect::PanelSwitch: line.panelValues[&row] = on ? "on" : "off"; return true;
    case Effect::Cancel: line.cancel = true; return true;
    case Effect::Layer: {
        int layer = 0;
        if (!parseLayer(value, layer)) {
            reason = "bad layer number '" + value + "' (layers are numbered from 1)";
            return false;
        }
        line.layers.push_back(layer);
        return true;
    }
    case Effect::Surface: line.surfaces.push_back(value); return true;
    case Effect::Module: line.module = value; return true;
    case Effect::Transcript: line.transcript = true; return true;
    case Effect::Help: line.help = true; return true;
    case Effect::Version: line.version = true; return true;
    case Effect::Quiet: line.quiet = true; return true;
    case Effect::Tree: line.tree = true; return true;
    case Effect::Preview: line.preview = value; return true;
    case Effect::ShowBones: line.showBones = true; return true;
    case Effect::ShowPicture: line.showPicture = value; return true;
    case Effect::Gltf: return gltf::takeGltfPath(value, line.gltf, reason);
    case Effect::JoinLines: line.joinLines = true; return true;
    }
    return true;
}

} // namespace

const std::string &usageText() {
    static const std::string text = [] {
        std::string usage = "Usage: spindle [OPTIONS] MODEL\n"
                            "       spindle show [--bones] [-o FILE] SCENE\n"
                            "Turns the curve polygons of MODEL (LWO2, LWOB or Wavefront OBJ) into a bone\n"
                            "hierarchy and writes a scene file, running the Spindle module as the\n"
                            "modeler would and answering its options panel from the options below.\n"
                            "`spindle show` prints the bone tree of any scene file, or draws it.\n";
        const char *section = "";
        for (const OptionRow &row : kOptions) {
            if (std::string(section) != row.section) {
                usage += std::string(section[0] ? "" : "\n") + row.section + ":\n";
                section = row.section;
            }
            std::string left = std::string("  ") + (row.shortName ? std::string(row.shortName) + ", " : "    ") +
                (row.effect == Effect::PanelSwitch ? std::string("--[no-]") + row.name : row.name) +
                (row.argument ? std::string(" ") + row.argument : "");
            left += left.size() > 26 ? "\n" + std::string(28, ' ') : std::string(28 - left.size(), ' ');
            usage += left + row.help + "\n";
        }
        return usage +
            "\n"
            "Exit status: 0 scene written; 1 no scene (a failure shown, or Cancel), or the\n"
            "glTF file not written; 2 bad command line or unreadable model; 3 module not\n"
            "loaded or run refused.\n";
    }();
    return text;
}

bool parseCommandLine(const std::vector<std::string> &arguments, CommandLine &line, std::string &reason) {
    line = CommandLine{};
    bool haveModel = false;
    bool optionsEnded = false;
    const bool show = !arguments.empty() && arguments[0] == "show";
    line.show = show;
    for (size_t i = show ? 1 : 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            if (haveModel) {
                reason = std::string(show ? "more than one scene file" : "more than one model file") + " given ('" +
                    line.model + "' and '" + argument + "')";
                return false;
            }
            line.model = argument;
            haveModel = true;
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        bool attached = false;
        std::string value;
        if (argument.rfind("--", 0) == 0) {
            const size_t equals = argument.find('=');
            if (equals != std::string::npos) {
                attached = true;
                value = argument.substr(equals + 1);
                argument.resize(equals);
            }
        }
        bool on = true;
        const OptionRow *row = findOption(argument, show, on);
        if (!row) {
            reason = "unknown option '" + argument + "'";
            return false;
        }
        if (attached && !row->argument) {
            reason = "option " + argument + " takes no value";
            return false;
        }
        if (row->argument && !attached) {
            if (i + 1 >= arguments.size()) {
                reason = "option " + argument + " needs a value";
                return false;
            }
            value = arguments[++i];
        }
        if (!apply(*row, on, value, line, reason))
            return false;
    }
    if (!haveModel && !line.help && !line.version) {
        reason = show ? "no scene file given (see spindle --help)" : "no model file given (see spindle --help)";
        return false;
    }
    if (show && line.showBones && !line.showPicture.empty()) {
        reason = "options --bones and -o of spindle show exclude each other";
        return false;
    }
    if (show)
        return true;
    const OptionRow &sceneRow = optionNamed("--scene");
    const auto typed = line.panelValues.find(&sceneRow);
    line.scene = typed != line.panelValues.end() ? typed->second : defaultScenePath(line.model);
    if (haveModel && line.scene.size() > kPanelTextLimit) {
        reason = "the default scene path is longer than " + std::to_string(kPanelTextLimit) +
            " bytes (the panel's text controls hold no more); name a shorter one with -o";
        return false;
    }
    return true;
}

std::vector<PanelEdit> panelEdits(const CommandLine &line) {
    const OptionRow &sceneRow = optionNamed("--scene");
    const OptionRow &goalObjects = optionNamed("goal-objects");
    std::vector<PanelEdit> edits{{sceneRow.label, line.scene}};
    const auto goal = line.panelValues.find(&goalObjects);
    const bool goalOn = goal != line.panelValues.end() && goal->second == "on";
    const bool goalOff = goal != line.panelValues.end() && goal->second == "off";
    if (goalOn)
        edits.push_back({goalObjects.label, "on"});
    for (const OptionRow &row : kOptions) {
        const auto given = line.panelValues.find(&row);
        if (&row != &sceneRow && &row != &goalObjects && given != line.panelValues.end())
            edits.push_back({row.label, given->second});
    }
    if (goalOff)
        edits.push_back({goalObjects.label, "off"});
    return edits;
}

std::string optionFor(const std::string &label) {
    for (const OptionRow &row : kOptions)
        if (row.label && label == row.label)
            return longName(row);
    return label;
}

std::string defaultScenePath(const std::string &model) {
    const size_t nameStart = platform::nameStart(model);
    const size_t dot = model.find_last_of('.');
    if (dot != std::string::npos && dot > nameStart)
        return model.substr(0, dot) + ".lws";
    return model + ".lws";
}

} // namespace standin
