// UTF-8 repair and unique names.
#include "standin/gltf/names.h"

#include <cstdint>

#include "standin/text/utf8.h"

namespace standin::gltf {

namespace {

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
        const size_t length = utf8SequenceLength(bytes, at);
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
        const size_t length = utf8SequenceLength(name, at);
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

std::string fileTitle(const std::string &path) {
    const size_t slash = path.find_last_of("/\\:");
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
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
