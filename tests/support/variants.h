// The typical model's scene under each option set that changes it, declared
// once for the scene tests (hand-built segments) and the whole-run tests
// (through the real module).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "module/panel/panel.h"
#include "standin/modeler/panels.h"

namespace testsupport {

struct GoldenVariant {
    const char *golden;       // file under tests/data/scenes
    spindle::Options options; // colours always at their defaults
    bool armHasNgSuffix;      // curve B's surface is "Arm_NG" rather than "Arm"
    const char *objectPath;
};

// How a test names a variant in its messages.
inline void PrintTo(const GoldenVariant &variant, std::ostream *out) { *out << variant.golden; }

// The nine variants.
const std::vector<GoldenVariant> &goldenVariants();

// The test name of a variant: no_goal_objects.lws -> noGoalObjects.
std::string variantName(const GoldenVariant &variant);

// The panel edits that turn the default options into the variant's: its
// switches and its object path.
std::vector<standin::PanelEdit> variantEdits(const GoldenVariant &variant);

} // namespace testsupport
