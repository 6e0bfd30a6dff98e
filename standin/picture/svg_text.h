// Text and numbers for hand-written SVG: XML escaping that always yields
// well-formed text, and short finite numbers.
#pragma once

#include <string>

namespace standin {

// `text` as XML character data or attribute value: & < > " ' as entities,
// every byte below 0x20 as a space, valid UTF-8 kept as is, and each byte of
// an invalid sequence (overlong, surrogate, above U+10FFFF, cut short) and
// the non-characters U+FFFE and U+FFFF as '?'.
std::string xmlEscaped(const std::string &text);

// A pixel coordinate with two decimals and no exponent ("12.5", "-3.25");
// "0" for a value that is not finite, so no NaN or inf ever reaches a file.
std::string pixels(double value);

// A scale bar's length m * 10^k (m 1, 2 or 5) as people write it: "0.02",
// "500", "5e-7", "2e9".
std::string roundLength(int mantissa, int exponent);

} // namespace standin
