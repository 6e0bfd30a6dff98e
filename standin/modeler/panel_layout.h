// How a panel lays out its controls, as far as a module can ask.
#pragma once

#include "standin/modeler/panels.h"

#include <cstdint>

namespace standin {

// The panel's size in pixels as its layout makes it: what `get` answers for
// HOST_PANEL_WIDTH and HOST_PANEL_HEIGHT.  A string control's width counts
// half-character cells, a choice control's pixels.
int32_t panelWidth(const PanelState &panel);
int32_t panelHeight(const PanelState &panel);

} // namespace standin
