// JSON strings and numbers.
#include "standin/gltf/json_text.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <limits>

#include "standin/gltf/names.h"

namespace standin::gltf {

namespace {

// The string, with '>', '&', U+2028 and U+2029 escaped as well when
// `forScript`.
void appendEscaped(std::string &out, const std::string &text, bool forScript) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || c == '<' || (forScript && (c == '>' || c == '&'))) {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else if (forScript && byte == 0xE2 && i + 2 < text.size() && text[i + 1] == '\x80' &&
                   (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
            out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += c;
        }
    }
    out += '"';
}

} // namespace

void appendJsonString(std::string &out, const std::string &text) { appendEscaped(out, text, false); }

void appendScriptJsonString(std::string &out, const std::string &text) { appendEscaped(out, repairUtf8(text), true); }

void appendJsonNumber(std::string &out, double value) {
    // A number that is not finite is a mistake of the caller's; should one
    // come all the same, the text stays JSON.
    assert(std::isfinite(value));
    if (std::isnan(value))
        value = 0;
    else if (std::isinf(value))
        value = std::copysign(std::numeric_limits<double>::max(), value);
    if (value == 0)
        value = 0; // no "-0"
    char digits[64];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
    assert(error == std::errc());
    out.append(digits, end);
}

} // namespace standin::gltf
