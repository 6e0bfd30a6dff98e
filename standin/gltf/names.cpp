// UTF-8 repair and unique names.
#include "standin/gltf/names.h"

#include <cstdint>

namespace standin::gltf {

namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0.
size_t sequenceLength(const std::string &bytes, size_t at) {
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

// The code point of a well-formed sequence of `length` bytes.
uint32_t codePoint(const std::string &text, size_t at, size_t length) {
    static const uint8_t kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    uint32_t value = static_cast<uint8_t>(text[at]) & kLeadMask[length];
    for (size_t i = 1; i < length; ++i)
        value = (value << 6) | (static_cast<uint8_t>(text[at + i]) & 0x3F);
    return value;
}

// JavaScript's \s.
bool isJsSpace(uint32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
        c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

} // namespace

std::string repairUtf8(const std::string &bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size();) {
        const size_t length = sequenceLength(bytes, at);
        if (length == 0) {
            text += "\xEF\xBF\xBD";
            ++at;
        } else {
            text.append(bytes, at, length);
            at += length;
        }
    }
    return text;
}

std::string threeJsName(const std::string &name) {
    std::string kept;
    kept.reserve(name.size());
    for (size_t at = 0; at < name.size();) {
        const size_t length = sequenceLength(name, at);
        if (length == 0) { // not UTF-8 after all: kept as it is
            kept += name[at++];
            continue;
        }
        const uint32_t c = codePoint(name, at, length);
        if (isJsSpace(c))
            kept += '_';
        else if (c != '[' && c != ']' && c != '.' && c != ':' && c != '/')
            kept.append(name, at, length);
        at += length;
    }
    return kept;
}

std::string claimName(NameBook &book, const std::string &wanted, long number) {
    std::string name = repairUtf8(wanted);
    const std::string suffix = "_" + std::to_string(number);
    std::string key = threeJsName(name);
    while (book.taken.count(key)) {
        name += suffix;
        key += suffix;
    }
    book.taken.insert(key);
    return name;
}

} // namespace standin::gltf
