// The panel services: controls stacked in creation order, values kept per
// control, ghosting, event functions, and the user's edits by label.
#include "standin/modeler/panels.h"
#include "standin/modeler/panel_layout.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstring>
#include <map>

namespace standin {

namespace {

// A control as the module sees it: the three functions first, then ours.
struct HostControl {
    Control base;
    PanelState *panel;
    int number; // 1-based creation order
};

// The services of the run in progress.  Runs never overlap: one is enough.
struct Services {
    PanelSession *session = nullptr;
    DrawServices draw{};
    PanelServices table{};
    std::map<const Panel *, PanelState *> live;
    std::vector<std::unique_ptr<HostControl>> controls;
};

Services services;

Transcript &transcript() {
    assert(services.session != nullptr && services.session->transcript != nullptr);
    return *services.session->transcript;
}

std::string text(const char *value) { return value ? std::string(value) : std::string(); }

const DisplayMetrics *displayMetrics() {
    const DisplayMetrics &metrics = services.session->config->metrics;
    transcript().record("drawFuncs.displayMetrics -> " + std::to_string(metrics.width) + "x" +
                        std::to_string(metrics.height));
    return &metrics;
}

HostControl *hostControl(Control *control) { return reinterpret_cast<HostControl *>(control); }

ControlState &stateOf(Control *control) {
    HostControl *own = hostControl(control);
    return own->panel->controls[static_cast<size_t>(own->number - 1)];
}

std::string controlName(Control *control) { return "control " + std::to_string(hostControl(control)->number); }

void controlDraw(Control *control, int32_t mode) {
    transcript().record(controlName(control) + " draw " + std::to_string(mode));
    stateOf(control).ghosted = mode == HOST_DRAW_GHOSTED;
}

void controlSet(Control *control, int32_t tag, Value *value) {
    transcript().record(controlName(control) + " set " + controlTagName(tag) + " " + valueText(value));
    if (!value)
        return;
    ControlState &state = stateOf(control);
    switch (tag) {
    case HOST_TAG_VALUE:
        if (state.descKind == HOST_CONTROL_STRING) {
            // A text arrives with its length; a negative length means none.
            state.text = value->text ? std::string(value->text, static_cast<size_t>(std::max(0, value->textLength)))
                                     : std::string();
            state.text = state.text.substr(0, std::strlen(state.text.c_str()));
        } else {
            state.integer = value->integer;
        }
        break;
    case HOST_TAG_EVENT: state.event = reinterpret_cast<ControlEvent *>(value->pointer); break;
    case HOST_TAG_EVENT_DATA: state.eventData = value->pointer; break;
    default: break;
    }
}

void controlGet(Control *control, int32_t tag, Value *value) {
    ControlState &state = stateOf(control);
    if (!value || tag != HOST_TAG_VALUE) {
        transcript().record(controlName(control) + " get " + controlTagName(tag) + " -> nothing");
        return;
    }
    if (state.descKind != HOST_CONTROL_STRING) {
        value->integer = state.integer;
        transcript().record(controlName(control) + " get value -> " + std::to_string(state.integer));
        return;
    }
    // Written zero-terminated within the length offered.  A text that does
    // not fit is cut, as the contract says, but the host remembers it: the
    // module then did not get what the user typed.
    const int32_t room = value->textLength;
    size_t length = 0;
    if (value->text && room > 0) {
        length = std::min(state.text.size(), static_cast<size_t>(room - 1));
        std::memcpy(value->text, state.text.data(), length);
        value->text[length] = '\0';
    }
    const bool cut = length < state.text.size();
    if (cut)
        services.session->textsCut.push_back(state.label);
    transcript().record(controlName(control) + " get value offered " + std::to_string(room) + " -> " +
                        quoted(state.text.substr(0, length).c_str()) +
                        (cut ? " (cut from " + std::to_string(state.text.size()) + " bytes)" : ""));
}

// ---- the user ------------------------------------------------------------------

bool sameItem(const std::string &a, const std::string &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Makes one edit; false when the user cannot make it.
bool applyEdit(PanelState &panel, const PanelEdit &edit) {
    int number = 0;
    for (size_t i = 0; i < panel.controls.size() && number == 0; ++i)
        if (panel.controls[i].label == edit.label)
            number = static_cast<int>(i) + 1;
    if (number == 0) {
        transcript().record("user: no control " + quoted(edit.label.c_str()));
        services.session->refused.push_back({edit, {}});
        return false;
    }
    ControlState &state = panel.controls[static_cast<size_t>(number - 1)];
    const std::string name = "control " + std::to_string(number);
    if (state.descKind == HOST_CONTROL_STRING) {
        state.text = edit.value;
        transcript().record("user: " + name + " = " + quoted(edit.value.c_str()));
    } else {
        int32_t value = -1;
        if (state.descKind == HOST_CONTROL_BOOLEAN) {
            value = edit.value == "on" ? 1 : edit.value == "off" ? 0 : -1;
        } else {
            for (size_t i = 0; i < state.items.size() && value < 0; ++i)
                if (sameItem(state.items[i], edit.value))
                    value = static_cast<int32_t>(i);
        }
        if (value < 0) {
            transcript().record("user: " + name + " has no value " + quoted(edit.value.c_str()));
            services.session->refused.push_back({edit, state.items});
            return false;
        }
        state.integer = value;
        transcript().record("user: " + name + " = " + std::to_string(value));
    }
    if (state.event) {
        transcript().record("event " + name);
        for (const auto &control : services.controls) {
            if (control->panel == &panel && control->number == number) {
                state.event(&control->base, state.eventData);
                break;
            }
        }
    }
    return true;
}

// ---- panels ----------------------------------------------------------------------

PanelState *livePanel(Panel *panel) {
    auto found = services.live.find(panel);
    return found == services.live.end() ? nullptr : found->second;
}

Panel *panelCreate(const char *title, PanelServices *table) {
    PanelSession &session = *services.session;
    transcript().record("panels.create " + quoted(title) +
                        (table == &services.table ? " services" : " foreign services") +
                        (session.config->refusePanel ? " -> null" : " -> panel"));
    if (session.config->refusePanel)
        return nullptr;
    session.panels.push_back(std::make_unique<PanelState>());
    PanelState *state = session.panels.back().get();
    state->title = text(title);
    Panel *handle = reinterpret_cast<Panel *>(state);
    services.live[handle] = state;
    return handle;
}

void panelDestroy(Panel *panel) {
    PanelState *state = livePanel(panel);
    transcript().record(std::string("panels.destroy") + (state ? "" : " unknown panel"));
    if (!state)
        return;
    state->destroyed = true;
    services.live.erase(panel);
}

int32_t panelOpen(Panel *panel, int32_t flags) {
    PanelState *state = livePanel(panel);
    if (!state) {
        transcript().record("panels.open unknown panel " + std::to_string(flags) + " -> 0");
        return 0;
    }
    transcript().record("panels.open " + std::to_string(flags));
    state->opened = true;
    state->shown = state->controls;
    bool cancel = services.session->config->cancel;
    for (const PanelEdit &edit : services.session->config->edits) {
        if (!applyEdit(*state, edit)) {
            cancel = true; // a user who cannot make an edit gives up
            break;
        }
    }
    transcript().record(std::string("user: ") + (cancel ? "Cancel" : "OK"));
    return cancel ? 0 : 1;
}

void panelGet(Panel *panel, int32_t tag, int32_t *value) {
    PanelState *state = livePanel(panel);
    int32_t answer = 0;
    if (state && tag == HOST_PANEL_WIDTH)
        answer = panelWidth(*state);
    else if (state && tag == HOST_PANEL_HEIGHT)
        answer = panelHeight(*state);
    if (value)
        *value = answer;
    transcript().record(std::string("panels.get ") + panelTagName(tag) + " -> " + std::to_string(answer));
}

void panelSet(Panel *panel, int32_t tag, const int32_t *value) {
    PanelState *state = livePanel(panel);
    const int32_t number = value ? *value : 0;
    transcript().record(std::string("panels.set ") + panelTagName(tag) + " " + std::to_string(number));
    if (!state)
        return;
    if (tag == HOST_PANEL_LEFT)
        state->left = number;
    else if (tag == HOST_PANEL_TOP)
        state->top = number;
}

Control *panelAddControl(Panel *panel, const char *kind, const ControlDesc *desc, const char *label) {
    PanelState *state = livePanel(panel);
    std::string line = "panels.addControl " + quoted(kind) + " " + quoted(label);
    if (desc) {
        line += std::string(" ") + descKindName(desc->kind);
        if (desc->items) {
            line += " [";
            for (const char *const *item = desc->items; *item; ++item)
                line += (item == desc->items ? "" : ",") + escapeControls(*item);
            line += "]";
        }
        line += " width " + std::to_string(desc->width);
    }
    if (services.table.globalFun == nullptr)
        line += " (no globalFun yet)";
    if (!state || static_cast<int>(state->controls.size()) + 1 == services.session->config->refuseControl) {
        transcript().record(line + " -> null");
        return nullptr;
    }
    ControlState control;
    control.kind = text(kind);
    control.label = text(label);
    if (desc) {
        control.descKind = desc->kind;
        control.width = desc->width;
        for (const char *const *item = desc->items; item && *item; ++item)
            control.items.emplace_back(*item);
    }
    state->controls.push_back(control);
    auto own = std::make_unique<HostControl>();
    own->base = Control{controlDraw, controlGet, controlSet};
    own->panel = state;
    own->number = static_cast<int>(state->controls.size());
    transcript().record(line + " -> control " + std::to_string(own->number));
    services.controls.push_back(std::move(own));
    return &services.controls.back()->base;
}

} // namespace

PanelServices *panelServices(PanelSession &session) {
    services.session = &session;
    services.live.clear();
    services.controls.clear();
    services.draw = DrawServices{displayMetrics};
    // A fresh table each run: the module writes globalFun into it.
    services.table = PanelServices{panelCreate, panelDestroy,    panelOpen,      panelGet,
                                   panelSet,    panelAddControl, &services.draw, nullptr};
    return &services.table;
}

void closePanels(PanelSession &session) {
    if (services.session != &session)
        return;
    services.live.clear();
    services.controls.clear();
    services.session = nullptr;
}

} // namespace standin
