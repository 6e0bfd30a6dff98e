// XML escaping and number formats for the SVG pictures.
#include "standin/picture/svg_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace standin {

namespace {

// The length of the valid UTF-8 sequence that starts at `s[i]`, or 0.
size_t utf8Length(const std::string &s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t lead = byte(i);
    size_t length = 0;
    uint8_t low = 0x80, high = 0xBF; // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (s.size() - i < length || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    // U+FFFE and U+FFFF are no XML characters.
    if (lead == 0xEF && byte(i + 1) == 0xBF && byte(i + 2) >= 0xBE)
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
