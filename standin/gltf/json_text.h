// Pieces of JSON text: strings and numbers as glTF readers take them.
#pragma once

#include <string>

namespace standin::gltf {

// Appends `text` (valid UTF-8) as a JSON string: quotes, backslashes and
// control characters escaped, and '<' as \u003c so that the text can sit
// in an HTML script element as well.
void appendJsonString(std::string &out, const std::string &text);

// Appends `text` (any bytes: those not well-formed UTF-8 become U+FFFD)
// as a JSON string to sit in an HTML script element, where the parser
// looks for "</script" and "<!--" and a JavaScript reader of old for line
// ends: as appendJsonString, and '>', '&', U+2028 and U+2029 escaped too.
void appendScriptJsonString(std::string &out, const std::string &text);

// Appends a finite number in the shortest form that reads back to the same
// double.  The caller keeps numbers that are not finite out (asserted); in
// a build without assertions one that comes all the same is written as the
// largest finite double of its sign (an infinity) or 0 (not a number), so
// that the text is always JSON.
void appendJsonNumber(std::string &out, double value);

} // namespace standin::gltf
