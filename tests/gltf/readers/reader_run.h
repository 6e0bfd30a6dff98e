// Running the readers for the tests: a shell command's output gathered by
// file, and the skip of a test whose reader is not installed.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace gltftest {

// A reader's lines, by the file they tell of: each line's fields.
using Report = std::map<std::string, std::vector<std::vector<std::string>>>;

// A line's tab-separated fields, each with \\, \t, \r and \n unescaped.
inline std::vector<std::string> fields(const std::string &line) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\t') {
            out.emplace_back();
        } else if (line[i] == '\\' && i + 1 < line.size()) {
            const char e = line[++i];
            out.back() += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
        } else {
            out.back() += line[i];
        }
    }
    return out;
}

// Runs a shell command and gathers its output by file.
inline bool runReader(const std::string &command, Report &report) {
#if defined(_WIN32)
    (void)command, (void)report;
    return false;
#else
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return false;
    std::string text;
    char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        text.append(chunk, n);
    const int status = ::pclose(pipe);
    std::string file;
    std::stringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> f = fields(line);
        if (f.size() == 2 && f[0] == "file")
            file = f[1];
        else if (!file.empty() && !f.empty() &&
                 (f[0] == "three" || f[0] == "blender" || f[0] == "validator" || f[0] == "issue"))
            report[file].push_back(f);
    }
    return status == 0;
#endif
}

// Skips the test when the reader is missing, unless readers are required
// (SPINDLE_REQUIRE_READERS=1).  Windows builds, run under Wine, have no
// readers and always skip.
#if defined(_WIN32)
#define REQUIRE_READER(present, what) GTEST_SKIP() << "no glTF readers for Windows builds"
#else
#define REQUIRE_READER(present, what)                                                                                  \
    do {                                                                                                               \
        if (!(present)) {                                                                                              \
            const char *required = std::getenv("SPINDLE_REQUIRE_READERS");                                             \
            if (required && std::string(required) == "1")                                                              \
                FAIL() << what << " is not installed, and SPINDLE_REQUIRE_READERS=1";                                  \
            GTEST_SKIP() << what << " is not installed";                                                               \
        }                                                                                                              \
    } while (0)
#endif

// The shell command that runs a Python script in Blender, headless, its
// arguments to follow.  Blender's Python must find the system's numpy, not
// another Python's paths: no PYTHONPATH or PYTHONHOME, and no pyenv on PATH.
inline std::string blenderCommand(const std::string &script) {
    std::string path;
    std::stringstream entries(std::getenv("PATH") ? std::getenv("PATH") : "");
    for (std::string entry; std::getline(entries, entry, ':');)
        if (entry.find("pyenv") == std::string::npos)
            path += (path.empty() ? "" : ":") + entry;
    return "env -u PYTHONPATH -u PYTHONHOME PATH='" + path + "' blender -b --factory-startup --python '" + script +
        "' --";
}

inline bool haveCommand(const std::string &probe) {
#if defined(_WIN32)
    (void)probe;
    return false;
#else
    return std::system((probe + " >/dev/null 2>&1").c_str()) == 0;
#endif
}

} // namespace gltftest
