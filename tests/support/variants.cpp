// The golden variants and the user's edits that make each.
#include "support/variants.h"

#include <cassert>

#include "support/module.h"

namespace testsupport {

namespace {

spindle::Options with(void (*change)(spindle::Options &)) {
    spindle::Options options;
    change(options);
    return options;
}

} // namespace

const std::vector<GoldenVariant> &goldenVariants() {
    using spindle::Options;
    static const std::vector<GoldenVariant> variants = {
        {"typical.lws", Options{}, false, ""},
        {"no_surface_names.lws", with([](Options &o) { o.useSurfaceName = 0; }), false, ""},
        {"inactive_bones.lws", with([](Options &o) { o.activateBone = 0; }), false, ""},
        {"no_goal_objects.lws", with([](Options &o) { o.createGoalObject = 0; }), false, ""},
        {"goal_objects_only.lws", with([](Options &o) { o.createGoalBone = 0; }), false, ""},
        {"ng_suffix.lws", Options{}, true, ""},
        {"ng_suffix_goal_objects_only.lws", with([](Options &o) { o.createGoalBone = 0; }), true, ""},
        {"object_path.lws", Options{}, false, "C:\\Objects\\my body.lwo"},
        {"optimize_goal_parent.lws", with([](Options &o) { o.optimizeGoalParent = 1; }), false, ""},
    };
    return variants;
}

std::string variantName(const GoldenVariant &variant) {
    std::string name;
    bool upper = false;
    for (const char *c = variant.golden; *c != '.'; ++c) {
        if (*c == '_')
            upper = true;
        else
            name += upper ? static_cast<char>(*c - 'a' + 'A') : *c;
        if (*c != '_')
            upper = false;
    }
    return name;
}

std::vector<standin::PanelEdit> variantEdits(const GoldenVariant &variant) {
    const spindle::Options defaults;
    const spindle::Options &options = variant.options;
    assert(options.boneColor == defaults.boneColor && options.goalColor == defaults.goalColor);
    struct Switch {
        int32_t spindle::Options::*field;
        const std::string &label;
    };
    const Switch switches[] = {
        {&spindle::Options::useSurfaceName, kSurfaceNames},
        {&spindle::Options::activateBone, kActiveBones},
        {&spindle::Options::createGoalObject, kGoalObjects},
        {&spindle::Options::skipGoalOnNgSuffix, kNgSuffix},
        {&spindle::Options::createGoalBone, kGoalBones},
        {&spindle::Options::optimizeGoalParent, kOptimizeGoalParent},
    };
    std::vector<standin::PanelEdit> edits;
    if (variant.objectPath[0] != '\0')
        edits.push_back(type(kObjectFile, variant.objectPath));
    for (const Switch &option : switches)
        if (options.*option.field != defaults.*option.field)
            edits.push_back(turn(option.label, options.*option.field != 0));
    return edits;
}

} // namespace testsupport
