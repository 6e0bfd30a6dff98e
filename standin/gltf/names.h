// Names as glTF readers take them: valid UTF-8, and unique even after
// three.js sanitises them for its animation bindings.
#pragma once

#include <string>
#include <unordered_set>

namespace standin::gltf {

// The bytes as valid UTF-8: every byte that does not belong to a
// well-formed sequence (stray continuation bytes, overlong forms,
// surrogates, code points past U+10FFFF, cut sequences) becomes U+FFFD.
std::string repairUtf8(const std::string &bytes);

// The name as three.js keeps it (valid UTF-8 in): every white-space
// character of JavaScript's \s becomes '_', and '[', ']', '.', ':' and '/'
// are dropped.
std::string threeJsName(const std::string &name);

// A file's name without its folder (after the last '/', '\\' or ':', as
// a path of any system) or its extension (from the last '.' that is not
// the name's first character): "models/Body.lwo" gives "Body".  Empty when
// nothing is left.
std::string fileTitle(const std::string &path);

// The names handed out so far, by their three.js form.
struct NameBook {
    std::unordered_set<std::string> taken;
};

// A name for an item that wants `wanted` (any bytes): repaired to UTF-8,
// and when its three.js form is already taken, "_N" appended with N the
// item's `number` in the scene (again, until it is free).  The result is
// recorded in `book`.
std::string claimName(NameBook &book, const std::string &wanted, long number);

} // namespace standin::gltf
