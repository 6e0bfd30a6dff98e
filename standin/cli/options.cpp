// The table of the spindle command's options.
#include "standin/cli/options.h"

#include <cassert>

#include "standin/cli/gltf_options.h"

namespace standin {
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
    {"Mesh", nullptr, "--join-lines", nullptr, kJoinLinesHelp, Effect::JoinLines, nullptr},
    {"Checking", nullptr, "--tree", nullptr, "print the bone tree of the scene written", Effect::Tree, nullptr},
    {"Checking", nullptr, "--preview", "FILE", "draw the scene written in three views into FILE (SVG)", Effect::Preview,
     nullptr},
    {"Checking", "-q", "--quiet", nullptr, "no summary line and no linking notes", Effect::Quiet, nullptr,
     kForRun | kForView},
    {"Other tools", nullptr, "--gltf", "FILE", kGltfHelp, Effect::Gltf, nullptr},
    {"Other tools", nullptr, "--weights", "HOW", kWeightsHelp, Effect::Weights, nullptr},
    {"Other tools", nullptr, "--view", "FILE", kViewHelp, Effect::View, nullptr},
    {"Other", nullptr, "--module", "PATH", "the module file to load", Effect::Module, nullptr},
    {"Other", nullptr, "--transcript", nullptr, "print every call the module makes into the host", Effect::Transcript,
     nullptr},
    {"Other", "-h", "--help", nullptr, "show this help", Effect::Help, nullptr},
    {"Other", nullptr, "--version", nullptr, "show the version", Effect::Version, nullptr},
    {"spindle show SCENE", nullptr, "--bones", nullptr, "one tab-separated line per bone instead of the tree",
     Effect::ShowBones, nullptr, kForShow},
    {"spindle show SCENE", "-o", "--picture", "FILE", kShowOutputHelp, Effect::ShowPicture, nullptr, kForShow},
    {"spindle show SCENE", nullptr, "--weights", "HOW", "the same as for a run's --gltf", Effect::Weights, nullptr,
     kForShow | kForView},
    {"spindle view SCENE", "-o", "--page", "FILE", kViewSceneHelp, Effect::View, nullptr, kForView},
    {"spindle view SCENE", nullptr, "--view-template", "PATH", nullptr, Effect::ViewTemplate, nullptr,
     kForRun | kForView},
};

} // namespace

std::span<const OptionRow> optionTable() { return kOptions; }

const OptionRow &optionNamed(std::string_view name) {
    for (const OptionRow &row : kOptions)
        if (name == row.name)
            return row;
    assert(false && "no option of that name");
    return kOptions[0];
}

} // namespace standin
