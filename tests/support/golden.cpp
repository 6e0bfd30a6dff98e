#include "support/golden.h"

#include <algorithm>

namespace testsupport {

namespace {

// Line `from`'s text up to its end (without the '\n'), shown with its
// control bytes escaped so that a CR or a NUL is seen.
std::string shown(const std::string &text, size_t from) {
    const size_t end = std::min(text.find('\n', from), text.size());
    std::string out = "\"";
    for (size_t i = from; i < end; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            const char *hex = "0123456789abcdef";
            out += {'\\', 'x', hex[c >> 4], hex[c & 15]};
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

} // namespace

testing::AssertionResult sameText(const std::string &actual, const std::string &expected) {
    if (actual == expected)
        return testing::AssertionSuccess();
    const size_t mismatch = size_t(
        std::mismatch(actual.begin(), actual.begin() + std::min(actual.size(), expected.size()), expected.begin())
            .first -
        actual.begin());
    const size_t lineStart = mismatch == 0 ? 0 : expected.rfind('\n', mismatch - 1) + 1;
    const size_t line = size_t(std::count(expected.begin(), expected.begin() + lineStart, '\n')) + 1;
    testing::AssertionResult result = testing::AssertionFailure();
    result << "texts differ at line " << line << " (byte " << mismatch << ")\n";
    if (lineStart >= actual.size())
        result << "  actual ends before it\n";
    else
        result << "  actual:   " << shown(actual, lineStart) << "\n";
    if (lineStart >= expected.size())
        result << "  expected ends before it\n";
    else
        result << "  expected: " << shown(expected, lineStart) << "\n";
    return result;
}

} // namespace testsupport
