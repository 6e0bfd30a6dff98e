// The page that shows a rig in a browser: a template (spindle-view.html,
// made by the build from viewer/) with two placeholders, one for what the
// command says about the rig (the facts, as JSON), one for the rig's
// binary glTF file (as base64).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "standin/gltf/gltf_file.h"

namespace standin {

// The most bytes of binary glTF a page carries: 256 MiB, whose base64
// (358 million characters) stays under the longest string a browser's
// JavaScript takes (2^29 - 24 characters in V8), the script's text the page
// decodes it from.
inline constexpr size_t kPageGlbLimit = size_t(256) << 20;

// What the page tells beside the rig: the model's (or scene's) title, the
// summary line, the linking notes and the tree's lines as the command
// prints them (without line ends), and the glTF's size.
struct PageFacts {
    std::string title;
    std::string summary;
    std::vector<std::string> notes;
    std::vector<std::string> tree;
    size_t glbBytes = 0;
};

// The facts as one JSON object, its strings fit to sit in a script element
// (gltf/json_text.h): {"title", "summary", "notes", "tree", "glbBytes"}.
std::string factsJson(const PageFacts &facts);

// A page template read into memory, with where its two placeholders start.
struct PageTemplate {
    std::string text;
    size_t facts = 0; // "@SPINDLE_FACTS@"
    size_t glb = 0;   // "@SPINDLE_GLB@"
};

// Reads the template at `path`.  False with a one-line reason when it
// cannot be read (`unreadable` true), or does not hold each placeholder
// exactly once (`unreadable` false).
bool readPageTemplate(const std::string &path, PageTemplate &page, std::string &reason, bool &unreadable);

// Writes the page at `path` safely (platform/safe_file.h): the template
// with the facts' JSON and the base64 of the glb laid out in `glb` in
// place of the placeholders, everything else as it is.  `pageBytes` is the
// page's size.  False with the system's reason.
bool writePage(const std::string &path, const PageTemplate &page, const std::string &facts, const gltf::GlbLayout &glb,
               size_t &pageBytes, std::string &why);

} // namespace standin
