// The transcript: every call the module makes into the stand-in, in words,
// kept for tests and printed by --transcript.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "host/host.h"
#include "standin/text/escape.h"

namespace standin {

struct Transcript {
    bool keep = true;            // keep the lines in `lines`
    std::ostream *out = nullptr; // also print each line here, if set
    std::vector<std::string> lines;

    // Whether anyone reads the lines: callers may skip building costly ones.
    bool wanted() const { return keep || out != nullptr; }
    void record(const std::string &line);
};

// The value of a C string for the transcript: quoted with its control bytes
// escaped, or null.
std::string quoted(const char *text);

// Names of the host's codes, as the transcript writes them.
const char *descKindName(int32_t kind);
const char *panelTagName(int32_t tag);
std::string controlTagName(int32_t tag);
// A value record: "integer 3", "text \"...\" length 5", "pointer set", ...
std::string valueText(const Value *value);

} // namespace standin
