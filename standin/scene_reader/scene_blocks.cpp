// The scene text's lines and numbers, and its blocks of several lines: the
// envelope of one motion channel, the older motions (counts, then two lines
// per key) and plugin blocks, which are passed over whole.
#include "standin/scene_reader/scene_parse.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace standin::lws {
namespace {

bool isSeparator(char c) { return isSpace(c) || c == ','; }

std::string_view numberToken(std::string_view &rest) {
    while (!rest.empty() && isSeparator(rest.front()))
        rest.remove_prefix(1);
    size_t n = 0;
    while (n < rest.size() && !isSeparator(rest[n]))
        ++n;
    std::string_view t = rest.substr(0, n);
    rest.remove_prefix(n);
    if (t.size() > 1 && t[0] == '+' && t[1] != '-')
        t.remove_prefix(1);
    return t;
}

template <typename T>
bool whole(std::string_view t, T &value, int base) {
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value, base);
    return !t.empty() && ec == std::errc() && end == t.data() + t.size();
}

} // namespace

bool takeNumber(std::string_view &rest, double &value) {
    const std::string_view t = numberToken(rest);
    double v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool takeInteger(std::string_view &rest, long long &value) { return whole(numberToken(rest), value, 10); }

bool takeHexadecimal(std::string_view &rest, uint32_t &value) { return whole(numberToken(rest), value, 16); }

bool Lines::next(std::string_view &line) {
    if (pos >= size)
        return false;
    const char *start = text + pos;
    const size_t left = size - pos;
    const void *eol = std::memchr(start, '\n', left);
    const size_t n = eol ? size_t(static_cast<const char *>(eol) - start) : left;
    pos += eol ? n + 1 : n;
    ++number;
    line = std::string_view(start, n);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return true;
}

std::string_view Lines::peekKeyword() const {
    Lines ahead = *this;
    std::string_view line;
    if (!ahead.next(line))
        return {};
    return token(line);
}

// "Channel N", then an envelope block "{ Envelope", a key count, "Key value
// time ..." lines, "Behaviors", "}".  Blocks inside it are counted, not
// recursed into.  Only channels 0-2 (the position) have their values read:
// the others carry nothing this reader keeps, and Spindle writes channel 5's
// key with a 0 run into it.
bool Parser::channel(std::string_view rest) {
    const size_t start = lines.number;
    long long index = 0;
    if (!takeInteger(rest, index))
        return badNumber("Channel");
    std::string_view line;
    if (!lines.next(line))
        return fail(start, "channel block cut short");
    if (token(line).substr(0, 1) != "{")
        return fail(lines.number, "Channel without its envelope");
    const bool kept = current >= 0 && index >= 0 && index < 3;
    std::vector<double> values;
    for (size_t depth = 1; depth > 0;) {
        if (!lines.next(line))
            return fail(start, "channel block cut short");
        const std::string_view keyword = token(line);
        if (keyword.substr(0, 1) == "{") {
            ++depth;
        } else if (keyword.substr(0, 1) == "}") {
            --depth;
        } else if (keyword == "Key" && depth == 1 && kept) {
            double value = 0;
            if (!takeNumber(line, value))
                return badNumber("Key");
            values.push_back(value);
        }
    }
    if (kept)
        keys[size_t(current)][size_t(index)] = std::move(values);
    return true;
}

// The older motion after "ObjectMotion (unnamed)" and the like: a channel
// count, a key count, then per key a line of one value per channel
// ("x y z h p b sx sy sz") and a line of frame and spline values.  The newer
// form (NumChannels, then Channel blocks) starts with no number and is read
// line by line.
bool Parser::motion() {
    std::string_view probe = lines.peekKeyword();
    long long channels = 0;
    if (!takeInteger(probe, channels))
        return true;
    const size_t start = lines.number;
    std::string_view line;
    long long count = 0;
    lines.next(line);
    if (!takeInteger(line, channels) || channels < 0)
        return badNumber("motion");
    if (!lines.next(line))
        return fail(start, "motion cut short");
    if (!takeInteger(line, count) || count < 0)
        return badNumber("motion");
    const size_t used = size_t(std::min<long long>(channels, 3));
    std::array<std::vector<double>, 3> values;
    for (long long k = 0; k < count; ++k) {
        if (!lines.next(line))
            return fail(start, "motion cut short");
        for (size_t c = 0; c < used; ++c) {
            double value = 0;
            if (!takeNumber(line, value))
                return badNumber("motion key");
            values[c].push_back(value);
        }
        if (!lines.next(line))
            return fail(start, "motion cut short");
    }
    if (current >= 0)
        keys[size_t(current)] = std::move(values);
    return true;
}

// "Plugin ..." to its "EndPlugin", whatever lies between: numbers, quoted
// strings, braces that need not balance.  A Plugin line inside counts as
// nested; an EndPlugin with no Plugin open is passed over by the caller.
bool Parser::plugin() {
    const size_t start = lines.number;
    std::string_view line;
    for (size_t depth = 1; depth > 0;) {
        if (!lines.next(line))
            return fail(start, "plugin block cut short");
        const std::string_view keyword = token(line);
        if (keyword == "Plugin")
            ++depth;
        else if (keyword == "EndPlugin")
            --depth;
    }
    return true;
}

} // namespace standin::lws
