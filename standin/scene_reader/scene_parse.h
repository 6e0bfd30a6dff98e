// The scene reader's shared pieces: the line cursor, the number parsers and
// the parser whose parts live in scene_text.cpp (the items and the keywords
// read line by line), scene_blocks.cpp (envelopes, the older motions and
// plugin blocks) and scene_reader.cpp (files, and the references resolved
// once the whole text is read).
//
// Every read is bounded by what is left of the text: a line is taken only
// when it is there, and nothing is reserved from a count the file claims.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "standin/scene_reader/scene_reader.h"
#include "standin/text/tokens.h"

namespace standin::lws {

using standin::token;
using standin::trim;

// Each takes the next number off the front of `rest`, from tokens
// separated by whitespace or commas (goal bones carry "0.0, 0.0, 0.0").
// Each fails on a missing or malformed token; `takeNumber` also on one out
// of range or not finite.
bool takeNumber(std::string_view &rest, double &value);
bool takeInteger(std::string_view &rest, long long &value);
bool takeHexadecimal(std::string_view &rest, uint32_t &value);

// The text's lines, CRLF or LF, without their line ends.
struct Lines {
    const char *text;
    size_t size;
    size_t pos = 0;
    size_t number = 0; // the line last taken, from 1

    bool next(std::string_view &line);
    // The next line's first token, without taking the line; empty at the end.
    std::string_view peekKeyword() const;
};

// A ParentItem, ParentObject or GoalObject line, resolved after reading
// because it may name an item further on.
enum class Reference { ParentItem, ParentObject, GoalObject };
struct Link {
    Reference kind;
    int item; // the item the line belongs to
    long long value;
    size_t line;
};

struct Parser {
    Parser(const char *text, size_t size, Scene &s, std::string &r) : lines{text, size}, scene(s), reason(r) {}

    Lines lines;
    Scene &scene;
    std::string &reason;

    int current = -1;         // the item the lines belong to; -1 before the first
    std::vector<int> objects; // objects and null objects, in file order
    std::vector<int> lights;
    std::vector<int> cameras;
    std::vector<std::vector<int>> bones; // per object ordinal: its bones, in file order
    std::vector<int> ordinal;            // per item: its place among its kind (a bone's: within its object)
    std::vector<size_t> parentLine;      // per item: the line that set its parent; 0 none
    std::vector<std::array<std::vector<double>, 3>> keys; // per item: the keys of channels 0-2
    std::vector<Link> links;

    bool fail(size_t line, const std::string &what) {
        reason = "line " + std::to_string(line) + ": " + what;
        return false;
    }
    bool badNumber(std::string_view keyword) { return fail(lines.number, "bad number in " + std::string(keyword)); }
    bool currentIs(ItemKind kind) const { return current >= 0 && scene.items[size_t(current)].kind == kind; }
    int addItem(ItemKind kind, std::string name);

    bool read(); // scene_text.cpp
    bool statement(std::string_view keyword, std::string_view rest);
    bool boneLine(std::string_view keyword, std::string_view rest);
    bool channel(std::string_view rest); // scene_blocks.cpp
    bool motion();
    bool plugin();
    bool resolve(); // scene_reader.cpp
    bool checkLoops();
    void composePositions();
};

} // namespace standin::lws
