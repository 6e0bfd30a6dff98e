// The command line, parsed in one place against the table of options
// (options.h).
#include "standin/cli/command.h"
#include "standin/cli/command_line.h"

#include <cctype>
#include <string_view>

#include "standin/cli/options.h"
#include "standin/cli/gltf_options.h"
#include "standin/platform/platform.h"

namespace standin {
namespace {

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

// Finds the row of `argument` among the options of `command` (a bit of
// OptionCommands); `on` tells --NAME from --no-NAME for a switch.
const OptionRow *findOption(const std::string &argument, unsigned command, bool &on) {
    for (const OptionRow &row : optionTable()) {
        if (!(row.commands & command) && row.effect != Effect::Help)
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
    case Effect::Gltf: return takeGltfPath(value, line.gltf, reason);
    case Effect::JoinLines: line.joinLines = true; return true;
    case Effect::Weights: return takeWeights(value, line.weights, reason);
    case Effect::View: return takePagePath(value, line.view, reason);
    case Effect::ViewTemplate: line.viewTemplate = value; return true;
    }
    return true;
}

// The checks of a command line once every argument is taken, and the scene
// path of a run; false with a reason.
bool checkLine(CommandLine &line, bool haveModel, std::string &reason) {
    if (!haveModel && !line.help && !line.version) {
        reason = line.show || line.viewScene ? "no scene file given (see spindle --help)"
                                             : "no model file given (see spindle --help)";
        return false;
    }
    if (line.viewScene && line.view.empty() && !line.help && !line.version) {
        reason = "spindle view needs -o FILE.html, the page to write";
        return false;
    }
    if (line.show && line.showBones && !line.showPicture.empty()) {
        reason = "options --bones and -o of spindle show exclude each other";
        return false;
    }
    if (line.show || line.viewScene)
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

} // namespace

const std::string &usageText() {
    static const std::string text = [] {
        std::string usage = "Usage: spindle [OPTIONS] MODEL\n"
                            "       spindle show [--bones] [-o FILE] SCENE\n"
                            "       spindle view -o FILE.html SCENE\n"
                            "Turns the curve polygons of MODEL (LWO2, LWOB or Wavefront OBJ) into a bone\n"
                            "hierarchy and writes a scene file, running the Spindle module as the\n"
                            "modeler would and answering its options panel from the options below.\n"
                            "`spindle show` prints the bone tree of any scene file, or draws it;\n"
                            "`spindle view` writes a page to pose its rig in a browser.\n";
        const char *section = "";
        for (const OptionRow &row : optionTable()) {
            if (!row.help)
                continue;
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
            "glTF file or the page not written; 2 bad command line, unreadable model, or\n"
            "no page template; 3 module not loaded or run refused.\n";
    }();
    return text;
}

bool parseCommandLine(const std::vector<std::string> &arguments, CommandLine &line, std::string &reason) {
    line = CommandLine{};
    bool haveModel = false;
    bool optionsEnded = false;
    const bool show = !arguments.empty() && arguments[0] == "show";
    const bool view = !arguments.empty() && arguments[0] == "view";
    const unsigned command = show ? kForShow : view ? kForView : kForRun;
    line.show = show;
    line.viewScene = view;
    for (size_t i = show || view ? 1 : 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            if (haveModel) {
                reason = std::string(show || view ? "more than one scene file" : "more than one model file") +
                    " given ('" + line.model + "' and '" + argument + "')";
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
        const OptionRow *row = findOption(argument, command, on);
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
    return checkLine(line, haveModel, reason);
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
    for (const OptionRow &row : optionTable()) {
        const auto given = line.panelValues.find(&row);
        if (&row != &sceneRow && &row != &goalObjects && given != line.panelValues.end())
            edits.push_back({row.label, given->second});
    }
    if (goalOff)
        edits.push_back({goalObjects.label, "off"});
    return edits;
}

std::string optionFor(const std::string &label) {
    for (const OptionRow &row : optionTable())
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
