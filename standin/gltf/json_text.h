// Pieces of JSON text: strings and numbers as glTF readers take them.
#pragma once

#include <string>

namespace standin::gltf {

// Appends `text` (valid UTF-8) as a JSON string: quotes, backslashes and
// control characters escaped, and '<' as \u003c so that the text can sit
// in an HTML script element as well.
void appendJsonString(std::string &out, const std::string &text);

// Appends a finite number in the shortest form that reads back to the same
// double; the caller keeps non-finite numbers out (asserted).
void appendJsonNumber(std::string &out, double value);

} // namespace standin::gltf
