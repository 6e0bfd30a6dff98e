// The host services of the stand-in modeler.  The module reaches them through
// plain C function pointers, so the services find the running Host through
// `current`, which Host::run sets for the length of one activation.
#include "standin/host.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>

namespace standin {

namespace {

Host *current = nullptr;

std::string text(const char *value) { return value ? std::string(value) : std::string(); }

const char *descKindName(int32_t kind) {
    switch (kind) {
    case HOST_CONTROL_STRING: return "string";
    case HOST_CONTROL_BOOLEAN: return "boolean";
    case HOST_CONTROL_CHOICE: return "choice";
    default: return "unknown";
    }
}

const char *panelTagName(int32_t tag) {
    switch (tag) {
    case HOST_PANEL_LEFT: return "left";
    case HOST_PANEL_TOP: return "top";
    case HOST_PANEL_WIDTH: return "width";
    case HOST_PANEL_HEIGHT: return "height";
    default: return "unknown";
    }
}

std::string controlTagName(int32_t tag) {
    switch (tag) {
    case HOST_TAG_VALUE: return "value";
    case HOST_TAG_EVENT: return "event";
    case HOST_TAG_EVENT_DATA: return "eventData";
    default: return "tag " + std::to_string(tag);
    }
}

} // namespace

std::string escapeControls(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (byte < 0x20 || byte == 0x7f) {
            static const char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string quoted(const char *value) { return value ? "\"" + escapeControls(value) + "\"" : "null"; }

// ---- the host's own records behind the module's handles --------------------

// A control as the module sees it: the three functions first, then ours.
struct HostControl {
    Control base;
    PanelState *panel;
    int number;  // 1-based creation order
};

struct Host::Impl {
    MessageServices messageServices{};
    HostDisplayInfo displayInfo{};
    DrawServices drawServices{};
    PanelServices panelServices{};
    CommandContext context{};
    MeshEditOp meshEdit{};
    bool editOpen = false;
    std::map<const Panel *, PanelState *> livePanels;
    std::vector<std::unique_ptr<HostControl>> controls;
    // Mesh edit records: one PointInfo per point of every layer, all in one
    // vector, layer after layer.  A point's id is its record's address, so a
    // lookup is one range check whatever the number of layers.
    std::vector<PointInfo> pointRecords;
    std::vector<size_t> firstPoint;       // per layer: the index of its first record
    std::vector<uint32_t> pointInLayer;   // per record: the point's index in its layer
    std::vector<PointId> polygonPoints;   // the points of the polygon being scanned
};

namespace {

Host::Impl &impl() { return *current->impl; }

// ---- "Info Messages" -------------------------------------------------------

void showMessage(bool isError, const char *line1, const char *line2) {
    current->record(std::string(isError ? "messages.error " : "messages.info ") + quoted(line1) + " " + quoted(line2));
    for (const char *line : {line1, line2}) {
        if (!line)
            continue;
        current->messages.push_back({isError, line});
        if (current->config.echoMessages) {
            // One message is always one line, whatever bytes it holds.
            std::FILE *out = isError ? stderr : stdout;
            std::fputs(escapeControls(line).c_str(), out);
            std::fputc('\n', out);
            std::fflush(out);
        }
    }
}

void messageInfo(const char *line1, const char *line2) { showMessage(false, line1, line2); }
void messageError(const char *line1, const char *line2) { showMessage(true, line1, line2); }

// ---- "LWPanelServices" -----------------------------------------------------

const DisplayMetrics *displayMetrics() {
    current->record("drawFuncs.displayMetrics -> " + std::to_string(current->config.metrics.width) + "x" +
                    std::to_string(current->config.metrics.height));
    return &current->config.metrics;
}

HostControl *hostControl(Control *control) { return reinterpret_cast<HostControl *>(control); }

ControlState &stateOf(Control *control) {
    HostControl *own = hostControl(control);
    return own->panel->controls[static_cast<size_t>(own->number - 1)];
}

std::string controlName(Control *control) { return "control " + std::to_string(hostControl(control)->number); }

// Layout: controls stacked in creation order, labels in one column.
constexpr int32_t kMargin = 10, kCharWidth = 8, kButtonRow = 32;

int32_t rowHeight(const ControlState &control) { return control.descKind == HOST_CONTROL_BOOLEAN ? 18 : 22; }

int32_t rowWidth(const ControlState &control) {
    const int32_t label = static_cast<int32_t>(control.label.size()) * kCharWidth;
    switch (control.descKind) {
    case HOST_CONTROL_STRING: return label + 6 + control.width * kCharWidth / 2 + 24;
    case HOST_CONTROL_CHOICE: return label + 6 + control.width;
    default: return label + 22;
    }
}

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

std::string valueText(const Value *value) {
    if (!value)
        return "null";
    switch (value->kind) {
    case HOST_VALUE_INTEGER: return "integer " + std::to_string(value->integer);
    case HOST_VALUE_TEXT:
        return "text " + (value->text ? "\"" + std::string(value->text, static_cast<size_t>(std::max(0, value->textLength))) + "\"" : std::string("null")) +
               " length " + std::to_string(value->textLength);
    case HOST_VALUE_POINTER: return std::string("pointer ") + (value->pointer ? "set" : "null");
    default: return "kind " + std::to_string(value->kind);
    }
}

void controlDraw(Control *control, int32_t mode) {
    current->record(controlName(control) + " draw " + std::to_string(mode));
    stateOf(control).ghosted = mode == HOST_DRAW_GHOSTED;
}

void controlSet(Control *control, int32_t tag, Value *value) {
    current->record(controlName(control) + " set " + controlTagName(tag) + " " + valueText(value));
    if (!value)
        return;
    ControlState &state = stateOf(control);
    switch (tag) {
    case HOST_TAG_VALUE:
        if (state.descKind == HOST_CONTROL_STRING) {
            // A text arrives with its length; a negative length means none.
            state.text = value->text ? std::string(value->text, static_cast<size_t>(std::max(0, value->textLength))) : std::string();
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
        current->record(controlName(control) + " get " + controlTagName(tag) + " -> nothing");
        return;
    }
    if (state.descKind == HOST_CONTROL_STRING) {
        // Written zero-terminated within the length offered.
        // A text that does not fit is cut, as the contract says, but the
        // host remembers it: the module then did not get what the user typed.
        const int32_t room = value->textLength;
        size_t length = 0;
        if (value->text && room > 0) {
            length = std::min(state.text.size(), static_cast<size_t>(room - 1));
            std::memcpy(value->text, state.text.data(), length);
            value->text[length] = '\0';
        }
        const bool cut = length < state.text.size();
        if (cut)
            current->textsCut.push_back(state.label);
        current->record(controlName(control) + " get value offered " + std::to_string(room) + " -> " +
                        quoted(state.text.substr(0, length).c_str()) +
                        (cut ? " (cut from " + std::to_string(state.text.size()) + " bytes)" : ""));
    } else {
        value->integer = state.integer;
        current->record(controlName(control) + " get value -> " + std::to_string(state.integer));
    }
}

Panel *panelCreate(const char *title, PanelServices *services) {
    const bool refused = current->config.refusePanel;
    current->record("panels.create " + quoted(title) + (services == &impl().panelServices ? " services" : " foreign services") +
                    (refused ? " -> null" : " -> panel"));
    if (refused)
        return nullptr;
    current->panels.push_back(std::make_unique<PanelState>());
    PanelState *state = current->panels.back().get();
    state->title = text(title);
    Panel *handle = reinterpret_cast<Panel *>(state);
    impl().livePanels[handle] = state;
    return handle;
}

PanelState *livePanel(Panel *panel) {
    auto found = impl().livePanels.find(panel);
    return found == impl().livePanels.end() ? nullptr : found->second;
}

void panelDestroy(Panel *panel) {
    PanelState *state = livePanel(panel);
    current->record(std::string("panels.destroy") + (state ? "" : " unknown panel"));
    if (!state)
        return;
    state->destroyed = true;
    impl().livePanels.erase(panel);
}

void applyEdit(PanelState &panel, const PanelEdit &edit) {
    if (edit.control < 1 || static_cast<size_t>(edit.control) > panel.controls.size()) {
        current->record("user: no control " + std::to_string(edit.control));
        return;
    }
    ControlState &state = panel.controls[static_cast<size_t>(edit.control - 1)];
    if (edit.isText) {
        state.text = edit.text;
        current->record("user: control " + std::to_string(edit.control) + " = " + quoted(edit.text.c_str()));
    } else {
        state.integer = edit.integer;
        current->record("user: control " + std::to_string(edit.control) + " = " + std::to_string(edit.integer));
    }
    if (state.event) {
        current->record("event control " + std::to_string(edit.control));
        for (const auto &control : impl().controls) {
            if (control->panel == &panel && control->number == edit.control) {
                state.event(&control->base, state.eventData);
                break;
            }
        }
    }
}

int32_t panelOpen(Panel *panel, int32_t flags) {
    PanelState *state = livePanel(panel);
    if (!state) {
        current->record("panels.open unknown panel " + std::to_string(flags) + " -> 0");
        return 0;
    }
    current->record("panels.open " + std::to_string(flags));
    state->opened = true;
    state->shown = state->controls;
    for (const PanelEdit &edit : current->config.edits)
        applyEdit(*state, edit);
    const int32_t answer = current->config.cancel ? 0 : 1;
    current->record(std::string("user: ") + (answer ? "OK" : "Cancel"));
    return answer;
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
    current->record(std::string("panels.get ") + panelTagName(tag) + " -> " + std::to_string(answer));
}

void panelSet(Panel *panel, int32_t tag, const int32_t *value) {
    PanelState *state = livePanel(panel);
    const int32_t number = value ? *value : 0;
    current->record(std::string("panels.set ") + panelTagName(tag) + " " + std::to_string(number));
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
                line += (item == desc->items ? "" : ",") + std::string(*item);
            line += "]";
        }
        line += " width " + std::to_string(desc->width);
    }
    if (current->impl->panelServices.globalFun == nullptr)
        line += " (no globalFun yet)";
    if (!state || static_cast<int>(state->controls.size()) + 1 == current->config.refuseControl) {
        current->record(line + " -> null");
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
    current->record(line + " -> control " + std::to_string(own->number));
    impl().controls.push_back(std::move(own));
    return &impl().controls.back()->base;
}

// ---- the mesh edit -----------------------------------------------------------

bool isSelected(const std::string &surface) {
    const auto &surfaces = current->config.selectedSurfaces;
    return surfaces.empty() || std::find(surfaces.begin(), surfaces.end(), surface) != surfaces.end();
}

int32_t meshPolyScan(void *state, PolyScanFunc *scan, void *userData, int32_t layerMode) {
    current->record("meshEdit.polyScan layers " + std::to_string(layerMode));
    Host::Impl &own = impl();
    const Mesh *mesh = current->config.mesh;
    if (state != current || !own.editOpen || !mesh || !scan) {
        current->record("meshEdit.polyScan -> 0 (nothing to scan)");
        return 0;
    }
    // Foreground layers in ascending number, file order among equal numbers.
    std::vector<int32_t> foreground = current->config.foreground;
    std::sort(foreground.begin(), foreground.end());
    std::vector<size_t> order;
    for (size_t i = 0; i < mesh->layers.size(); ++i)
        if (foreground.empty() || std::binary_search(foreground.begin(), foreground.end(), mesh->layers[i].number))
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return mesh->layers[a].number < mesh->layers[b].number; });
    std::vector<char> selected(mesh->surfaces.size());
    for (size_t i = 0; i < selected.size(); ++i)
        selected[i] = isSelected(mesh->surfaces[i]);
    int32_t result = 0;
    for (size_t layerIndex : order) {
        const MeshLayer &layer = mesh->layers[layerIndex];
        PointInfo *records = own.pointRecords.data() + own.firstPoint[layerIndex];
        for (const MeshPolygon &polygon : layer.polygons) {
            own.polygonPoints.clear();
            for (uint32_t index : polygon.points)
                own.polygonPoints.push_back(reinterpret_cast<PointId>(&records[index]));
            const std::string &surface = mesh->surfaces[polygon.surface];
            PolygonInfo info{};
            info.polygon = reinterpret_cast<PolygonId>(const_cast<MeshPolygon *>(&polygon));
            info.layer = layer.number;
            info.flags = (selected[polygon.surface] ? HOST_POLY_SELECTED : 0) | (polygon.startControl ? HOST_POLY_START_CONTROL : 0);
            info.numPoints = static_cast<int32_t>(polygon.points.size());
            info.points = own.polygonPoints.data();
            info.surface = surface.c_str();
            info.type = polygon.type;
            result = scan(userData, &info);
            if (result != 0)
                break;
        }
        if (result != 0)
            break;
    }
    current->record("meshEdit.polyScan -> " + std::to_string(result));
    return result;
}

const PointInfo *meshPointInfo(void *state, PointId point) {
    Host::Impl &own = impl();
    if (state != current || !own.editOpen || current->config.refusePointInfo) {
        if (current->config.keepTranscript || current->config.transcriptOut)
            current->record("meshEdit.pointInfo -> null");
        return nullptr;
    }
    // An id is a record's address: inside the records and on a record's start.
    const uintptr_t first = reinterpret_cast<uintptr_t>(own.pointRecords.data());
    const uintptr_t offset = reinterpret_cast<uintptr_t>(point) - first;
    if (own.pointRecords.empty() || offset >= own.pointRecords.size() * sizeof(PointInfo) ||
        offset % sizeof(PointInfo) != 0) {
        current->record("meshEdit.pointInfo unknown point -> null");
        return nullptr;
    }
    const size_t index = offset / sizeof(PointInfo);
    const PointInfo *record = &own.pointRecords[index];
    if (current->config.keepTranscript || current->config.transcriptOut)
        current->record("meshEdit.pointInfo layer " + std::to_string(record->layer) + " point " +
                        std::to_string(own.pointInLayer[index]));
    return record;
}

void meshDone(void *state, int32_t error, int32_t selectionMode) {
    current->record("meshEdit.done " + std::to_string(error) + " " + std::to_string(selectionMode));
    if (state != current)
        return;
    impl().editOpen = false;
    impl().pointRecords.clear();
    impl().firstPoint.clear();
    impl().pointInLayer.clear();
    ++current->meshEditsDone;
}

MeshEditOp *editBegin(int32_t pointBuffer, int32_t polygonBuffer, int32_t selectionMode) {
    const bool refused = current->config.refuseMeshEdit;
    current->record("context.editBegin " + std::to_string(pointBuffer) + " " + std::to_string(polygonBuffer) + " " +
                    std::to_string(selectionMode) + (refused ? " -> null" : " -> meshEdit"));
    if (refused)
        return nullptr;
    Host::Impl &own = impl();
    own.pointRecords.clear();
    own.firstPoint.clear();
    own.pointInLayer.clear();
    if (const Mesh *mesh = current->config.mesh) {
        size_t total = 0;
        for (const MeshLayer &layer : mesh->layers)
            total += layer.points.size();
        // Sized once: the ids are the records' addresses and must not move.
        own.pointRecords.resize(total);
        own.pointInLayer.resize(total);
        own.firstPoint.reserve(mesh->layers.size());
        size_t at = 0;
        for (const MeshLayer &layer : mesh->layers) {
            own.firstPoint.push_back(at);
            for (size_t i = 0; i < layer.points.size(); ++i, ++at) {
                PointInfo &record = own.pointRecords[at];
                record.point = reinterpret_cast<PointId>(&record);
                record.layer = layer.number;
                std::copy(layer.points[i].begin(), layer.points[i].end(), record.position);
                own.pointInLayer[at] = static_cast<uint32_t>(i);
            }
        }
    }
    own.editOpen = true;
    ++current->meshEditsBegun;
    own.meshEdit = MeshEditOp{current, meshPolyScan, meshPointInfo, meshDone};
    return &own.meshEdit;
}

// ---- the global function -----------------------------------------------------

void *global(const char *serviceName, int32_t useMode) {
    const std::string name = text(serviceName);
    Host::Impl &own = impl();
    void *found = nullptr;
    if (name == HOST_MESSAGE_SERVICE && current->config.offerMessages)
        found = &own.messageServices;
    else if (name == HOST_DISPLAY_SERVICE && current->config.offerDisplay)
        found = &own.displayInfo;
    else if (name == HOST_PANEL_SERVICE && current->config.offerPanels)
        found = &own.panelServices;
    current->record("global " + quoted(serviceName) + " " + std::to_string(useMode) + (found ? " -> service" : " -> null"));
    return found;
}

} // namespace

Host::Host(HostConfig hostConfig) : config(std::move(hostConfig)), impl(std::make_unique<Impl>()) {
    impl->messageServices = MessageServices{messageInfo, messageError};
    impl->drawServices = DrawServices{displayMetrics};
    impl->context = CommandContext{nullptr, "", editBegin};
}

Host::~Host() = default;

void Host::record(const std::string &line) {
    if (config.keepTranscript)
        transcript.push_back(line);
    if (config.transcriptOut)
        *config.transcriptOut << line << '\n';
}

int32_t Host::run(const Module &module, int32_t version) {
    Host *previous = current;
    current = this;
    // A fresh table each run: the module writes globalFun into it.
    impl->panelServices = PanelServices{panelCreate, panelDestroy, panelOpen, panelGet, panelSet, panelAddControl,
                                        &impl->drawServices, nullptr};
    impl->controls.clear();
    record("activate version " + std::to_string(version));
    const int32_t result = module.server->activate(version, global, &impl->context, module.serverData);
    record("activate -> " + std::to_string(result));
    impl->controls.clear();
    impl->livePanels.clear();
    current = previous;
    return result;
}

} // namespace standin
