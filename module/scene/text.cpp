// The scene's text as it is composed in memory, before any of it reaches the
// disk.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "module/scene/scene.h"

namespace spindle {

namespace {

// Makes room for `more` bytes after the text; false (and `failed` set) when
// the memory cannot be had.
bool reserve(SceneText &text, std::size_t more) {
    if (text.failed)
        return false;
    if (text.capacity - text.size > more)
        return true;
    std::size_t capacity = text.capacity == 0 ? 64 * 1024 : text.capacity;
    while (capacity - text.size <= more) {
        if (capacity > (static_cast<std::size_t>(-1) >> 2)) {
            text.failed = true;
            return false;
        }
        capacity *= 2;
    }
    char *grown = static_cast<char *>(std::realloc(text.bytes, capacity));
    if (!grown) {
        text.failed = true;
        return false;
    }
    text.bytes = grown;
    text.capacity = capacity;
    return true;
}

} // namespace

SceneText::~SceneText() { std::free(bytes); }

void appendText(SceneText &text, const char *part) {
    const std::size_t length = std::strlen(part);
    if (!reserve(text, length))
        return;
    std::memcpy(text.bytes + text.size, part, length);
    text.size += length;
}

void appendOutsideText(SceneText &text, const char *part) {
    const std::size_t length = std::strlen(part);
    if (!reserve(text, length))
        return;
    for (std::size_t i = 0; i < length; ++i)
        text.bytes[text.size + i] = part[i] == '\r' || part[i] == '\n' ? '_' : part[i];
    text.size += length;
}

void appendFormat(SceneText &text, const char *format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::va_list measure;
    va_copy(measure, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length > 0 && reserve(text, static_cast<std::size_t>(length))) {
        std::vsnprintf(text.bytes + text.size, text.capacity - text.size, format, arguments);
        text.size += static_cast<std::size_t>(length);
    }
    va_end(arguments);
}

} // namespace spindle
