// The panel's layout: labels in one column, the controls stacked in the
// order they were added, OK and Cancel in a row at the bottom.
#include <algorithm>

#include "standin/modeler/panel_layout.h"

namespace standin {

constexpr int32_t kMargin = 10, kCharWidth = 8, kButtonRow = 32;

namespace {

int32_t rowHeight(const ControlState &control) { return control.descKind == HOST_CONTROL_BOOLEAN ? 18 : 22; }

int32_t rowWidth(const ControlState &control) {
    const int32_t label = static_cast<int32_t>(control.label.size()) * kCharWidth;
    switch (control.descKind) {
    case HOST_CONTROL_STRING: return label + 6 + control.width * kCharWidth / 2 + 24; // half-character cells
    case HOST_CONTROL_CHOICE: return label + 6 + control.width;                       // pixels
    default: return label + 22;
    }
}

} // namespace

int32_t panelWidth(const PanelState &panel) {
    int32_t width = 200;
    for (const ControlState &control : panel.controls)
        width = std::max(width, rowWidth(control));
    return width + 2 * kMargin;
}

int32_t panelHeight(const PanelState &panel) {
    int32_t height = 2 * kMargin + kButtonRow;
    for (const ControlState &control : panel.controls)
        height += rowHeight(control) + 4;
    return height;
}

} // namespace standin
