// The command's rig files, made from one glTF document: the glTF file of
// --gltf and the page of --view (or of `spindle view`), with the page's
// template found and read before anything is written.
#pragma once

#include <string>
#include <vector>

#include "standin/cli/command_line.h"
#include "standin/gltf/frame_rule.h"
#include "standin/gltf/rig_export.h"
#include "standin/scene_reader/scene_reader.h"
#include "standin/view/page.h"

namespace standin {

// The page template built or installed with the command: spindle-view.html
// beside it (the build tree, Windows), else in ../share/spindle/.
std::string defaultPageTemplatePath();

// Reads the template of the page `line` asks for (line.viewTemplate, else
// the default).  False after telling why in one line: the run then ends
// with kExitUsage before it writes anything.
bool loadPageTemplate(const CommandLine &line, PageTemplate &page);

// The facts of the page for the scene read back from `scenePath`: its
// summary line and tree as the command prints them, with `title` and the
// linking `notes`.
PageFacts sceneFacts(const std::string &title, const std::string &scenePath, const Scene &scene,
                     const std::vector<std::string> &notes);

// The rig files asked for: the glTF file at `gltf` and the page at `page`
// (each: none when empty) for the scene at `scenePath`.
struct RigFiles {
    std::string gltf;
    std::string page;
    const PageTemplate *pageTemplate = nullptr; // must be given with a page
    PageFacts facts;                            // of the page; glbBytes is filled in
    std::string scenePath;
    bool quiet = false; // no line for the page written
};

// Writes the files from one document of the rig of `scene` with the faces
// of `mesh` (rig_export.h).  After the page, one line on standard output
// "PAGE: page of N bytes" (not when quiet).  A page is not written for a
// scene without bones, nor for a glTF file past kPageGlbLimit; each is
// told in one line, as is a file that cannot be written.  Returns
// kExitWritten, or kExitNoScene when a file was not written.
int writeRigFiles(const RigFiles &files, const Scene &scene, gltf::FrameRule rule, const gltf::MeshSource &mesh);

} // namespace standin
