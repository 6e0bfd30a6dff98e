// JSON strings and numbers.
#include "standin/gltf/json_text.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <limits>

namespace standin::gltf {

void appendJsonString(std::string &out, const std::string &text) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || c == '<') {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    out += '"';
}

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
