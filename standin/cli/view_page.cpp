// The rig files and the page's template.
#include "standin/cli/view_page.h"

#include <algorithm>
#include <cstdio>

#include "standin/cli/command.h"
#include "standin/cli/report.h"
#include "standin/gltf/gltf_file.h"
#include "standin/text/escape.h"
#include "standin/text/tell.h"

#ifndef SPINDLE_VIEW_INSTALL_DIR
#define SPINDLE_VIEW_INSTALL_DIR "share/spindle"
#endif

namespace standin {

std::string defaultPageTemplatePath() { return installedFile("spindle-view.html", SPINDLE_VIEW_INSTALL_DIR); }

bool loadPageTemplate(const CommandLine &line, PageTemplate &page) {
    const std::string path = line.viewTemplate.empty() ? defaultPageTemplatePath() : line.viewTemplate;
    std::string reason;
    bool unreadable = false;
    if (readPageTemplate(path, page, reason, unreadable))
        return true;
    if (unreadable)
        std::fprintf(stderr,
                     "spindle: %s: the page template cannot be read (%s); the build makes it with node from "
                     "viewer/ (docs/building.md)\n",
                     escapeControls(path).c_str(), escapeControls(reason).c_str());
    else
        tellFileProblem(path, reason);
    return false;
}

PageFacts sceneFacts(const std::string &title, const std::string &scenePath, const Scene &scene,
                     const std::vector<std::string> &notes) {
    PageFacts facts;
    facts.title = title;
    facts.summary = summaryLine(scenePath, countScene(scene));
    facts.notes = notes;
    // The tree's lines, each without its line end (the last may have none).
    const std::string tree = treeText(scene);
    for (size_t start = 0; start < tree.size();) {
        const size_t end = std::min(tree.find('\n', start), tree.size());
        facts.tree.push_back(tree.substr(start, end - start));
        start = end + 1;
    }
    return facts;
}

namespace {

// The page from the document; false after telling why it is not written.
bool writeRigPage(const RigFiles &files, const gltf::RigDocument &rig) {
    const std::string page = escapeControls(files.page);
    if (rig.skin < 0) {
        std::fprintf(stderr, "spindle: %s: not written: %s has no bones to pose\n", page.c_str(),
                     escapeControls(files.scenePath).c_str());
        return false;
    }
    gltf::GlbLayout glb;
    std::string why;
    if (!gltf::glbLayout(rig.document, glb, why)) {
        tellNotWritten(files.page, why);
        return false;
    }
    if (glb.size > kPageGlbLimit) {
        std::fprintf(stderr, "spindle: %s: not written: the rig's glTF is %zu bytes, past the 256 MiB a page holds\n",
                     page.c_str(), glb.size);
        return false;
    }
    PageFacts facts = files.facts;
    facts.glbBytes = glb.size;
    size_t bytes = 0;
    if (!writePage(files.page, *files.pageTemplate, factsJson(facts), glb, bytes, why)) {
        tellNotWritten(files.page, why);
        return false;
    }
    if (!files.quiet)
        std::printf("%s: page of %zu bytes\n", page.c_str(), bytes);
    return true;
}

} // namespace

int writeRigFiles(const RigFiles &files, const Scene &scene, gltf::FrameRule rule, const gltf::MeshSource &mesh) {
    if (files.page.empty())
        return files.gltf.empty() || gltf::exportRig(scene, rule, files.gltf, mesh) ? kExitWritten : kExitNoScene;
    // The notes on the rig name the glTF file, or the page when it is the
    // only file.
    const gltf::RigDocument rig = gltf::exportedRig(scene, rule, files.gltf.empty() ? files.page : files.gltf, mesh);
    bool written = true;
    std::string why;
    if (!files.gltf.empty() && !gltf::writeGltfFile(files.gltf, rig.document, why)) {
        tellNotWritten(files.gltf, why);
        written = false;
    }
    written = writeRigPage(files, rig) && written;
    std::fflush(stdout);
    return written ? kExitWritten : kExitNoScene;
}

} // namespace standin
