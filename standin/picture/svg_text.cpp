// XML escaping and number formats for the SVG pictures.
#include "standin/picture/svg_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "standin/text/utf8.h"

namespace standin {

namespace {

// The length of the valid UTF-8 sequence that starts at `s[i]`, or 0; the
// non-characters U+FFFE and U+FFFF, which XML does not allow, count as
// invalid.
size_t utf8Length(const std::string &s, size_t i) {
    const size_t length = utf8SequenceLength(s, i);
    if (length == 3 && static_cast<uint8_t>(s[i]) == 0xEF && static_cast<uint8_t>(s[i + 1]) == 0xBF &&
        static_cast<uint8_t>(s[i + 2]) >= 0xBE)
        return 0;
    return length;
}

} // namespace

std::string xmlEscaped(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const uint8_t c = static_cast<uint8_t>(text[i]);
        if (c >= 0x80) {
            const size_t length = utf8Length(text, i);
            out += length ? text.substr(i, length) : "?";
            i += length ? length : 1;
            continue;
        }
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c < 0x20 ? ' ' : static_cast<char>(c);
        }
        ++i;
    }
    return out;
}

std::string pixels(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 1e9)
        return "0";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    std::string text = buffer;
    // Trailing zeros and a bare point say nothing.
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text == "-0" ? "0" : text;
}

std::string roundLength(int mantissa, int exponent) {
    if (exponent >= 0 && exponent <= 5)
        return std::to_string(mantissa) + std::string(exponent, '0');
    if (exponent < 0 && exponent >= -4)
        return "0." + std::string(-exponent - 1, '0') + std::to_string(mantissa);
    return std::to_string(mantissa) + "e" + std::to_string(exponent);
}

} // namespace standin
