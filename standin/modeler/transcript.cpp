// The transcript's wording: one line per call, control bytes escaped.
#include "standin/modeler/transcript.h"

#include <algorithm>

namespace standin {

void Transcript::record(const std::string &line) {
    if (keep)
        lines.push_back(line);
    if (out)
        *out << line << '\n';
}

std::string quoted(const char *text) { return text ? "\"" + escapeControls(text) + "\"" : "null"; }

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

std::string valueText(const Value *value) {
    if (!value)
        return "null";
    switch (value->kind) {
    case HOST_VALUE_INTEGER: return "integer " + std::to_string(value->integer);
    case HOST_VALUE_TEXT:
        return "text " +
            (value->text ? quoted(std::string(value->text, static_cast<size_t>(std::max(0, value->textLength))).c_str())
                         : std::string("null")) +
            " length " + std::to_string(value->textLength);
    case HOST_VALUE_POINTER: return std::string("pointer ") + (value->pointer ? "set" : "null");
    default: return "kind " + std::to_string(value->kind);
    }
}

} // namespace standin
