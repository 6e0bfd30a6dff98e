// UTF-8 well-formedness, shared by every writer that must emit valid text
// (the SVG picture, the glTF names) from bytes a model file gave.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace standin {

// The length of the well-formed UTF-8 sequence at `bytes[at]` (1 for an
// ASCII byte), or 0 where it is not one: a stray continuation byte, an
// overlong form, a surrogate, a value above U+10FFFF, or a sequence cut
// short by the end of `bytes`.
inline size_t utf8SequenceLength(const std::string &bytes, size_t at) {
    const auto byte = [&](size_t i) { return i < bytes.size() ? static_cast<uint8_t>(bytes[i]) : 0; };
    const uint8_t lead = byte(at);
    const auto continues = [&](size_t i, uint8_t low, uint8_t high) {
        const uint8_t b = byte(at + i);
        return at + i < bytes.size() && b >= low && b <= high;
    };
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return continues(1, 0x80, 0xBF) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const uint8_t low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
        return continues(1, low, high) && continues(2, 0x80, 0xBF) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const uint8_t low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
        return continues(1, low, high) && continues(2, 0x80, 0xBF) && continues(3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

} // namespace standin
