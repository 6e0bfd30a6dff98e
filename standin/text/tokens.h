// Words of a line of text, shared by the text readers (OBJ and scenes).
#pragma once

#include <cstddef>
#include <string_view>

namespace standin {

// Blank within a line: space, tab, CR, form feed, vertical tab.
inline bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// The text without blanks at either end.
inline std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// Splits off the next blank-separated word of `rest`; empty at the end.
inline std::string_view token(std::string_view &rest) {
    rest = trim(rest);
    size_t n = 0;
    while (n < rest.size() && !isSpace(rest[n]))
        ++n;
    std::string_view t = rest.substr(0, n);
    rest.remove_prefix(n);
    return t;
}

} // namespace standin
