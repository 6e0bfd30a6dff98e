// Numbers that are not finite, put right line by line.
#include "standin/scene_reader/finite_text.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

namespace standin {

namespace {

bool separator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\n'; }

// The token's value: 1 a finite number, 0 not a number, -1 a number that
// is not finite or out of range.
int numberKind(std::string_view token) {
    double value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (token.empty() || end != token.data() + token.size() ||
        (error != std::errc() && error != std::errc::result_out_of_range))
        return 0;
    return error == std::errc() && std::isfinite(value) ? 1 : -1;
}

// One line with its numbers put right, when it is a line of numbers the
// rig reads.
std::string fixLine(std::string_view line) {
    std::vector<std::pair<size_t, size_t>> tokens; // start, length
    for (size_t at = 0; at < line.size();) {
        if (separator(line[at])) {
            ++at;
            continue;
        }
        const size_t start = at;
        while (at < line.size() && !separator(line[at]))
            ++at;
        tokens.push_back({start, at - start});
    }
    if (tokens.empty())
        return std::string(line);
    const std::string_view keyword = line.substr(tokens[0].first, tokens[0].second);
    bool numbers = keyword == "BoneRestPosition" || keyword == "BoneRestDirection" || keyword == "BoneRestLength" ||
        keyword == "Key";
    if (!numbers) { // a key of the older motion blocks: numbers alone
        numbers = true;
        for (const auto &[start, length] : tokens)
            numbers = numbers && numberKind(line.substr(start, length)) != 0;
    }
    if (!numbers)
        return std::string(line);
    std::string fixed;
    size_t done = 0;
    for (const auto &[start, length] : tokens) {
        const std::string_view token = line.substr(start, length);
        if (numberKind(token) != -1)
            continue;
        fixed.append(line.substr(done, start - done));
        fixed += token[0] == '-' ? "-1e300" : "1e300";
        done = start + length;
    }
    fixed.append(line.substr(done));
    return fixed;
}

} // namespace

std::string finiteSceneText(const std::string &text) {
    std::string fixed;
    fixed.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        fixed += fixLine(std::string_view(text).substr(at, end - at));
        at = end;
    }
    return fixed;
}

} // namespace standin
