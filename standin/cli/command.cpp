// The `spindle` command.  Everything it prints on its own is one line on
// standard error beginning "spindle: "; the module's messages appear as the
// host's message services show them.
#include "standin/cli/command.h"
#include "standin/cli/command_line.h"

#include <algorithm>
#include <cstdio>

#include "generated/version.h"
#include "standin/cli/linking_notes.h"
#include "standin/cli/report.h"
#include "standin/cli/run_steps.h"
#include "standin/cli/view_page.h"
#include "standin/gltf/frame_rule.h"
#include "standin/gltf/gltf_file.h"
#include "standin/gltf/names.h"
#include "standin/gltf/rig_export.h"
#include "standin/picture/picture.h"
#include "standin/platform/platform.h"
#include "standin/text/escape.h"
#include "standin/text/tell.h"

#ifndef SPINDLE_MODULE_INSTALL_DIR
#define SPINDLE_MODULE_INSTALL_DIR "lib/spindle"
#endif

namespace standin {

namespace {

// Writes a whole text file; false after telling why.
bool writeTextFile(const std::string &path, const std::string &text) {
    std::string why;
    if (platform::writeWholeFile(path, text, why))
        return true;
    tellNotWritten(path, why);
    return false;
}

// Reads a scene back; false after telling why.
bool readBack(const std::string &path, Scene &scene, SceneNumbers numbers = SceneNumbers::Finite) {
    std::string reason;
    if (readScene(path, scene, reason, numbers))
        return true;
    tellFileProblem(path, reason);
    return false;
}

// `spindle show SCENE`: the tree, the bone table or the picture.
int showScene(const CommandLine &line) {
    Scene scene;
    // The rig is written even from a scene with numbers that are not finite.
    if (gltf::fileKindOf(line.showPicture) != gltf::FileKind::None) {
        if (!readBack(line.model, scene, SceneNumbers::ForTheRig))
            return kExitUsage;
        return gltf::exportShownRig(scene, line.model, line.showPicture, line.weights) ? kExitWritten : kExitNoScene;
    }
    if (!readBack(line.model, scene))
        return kExitUsage;
    const RigPlacement placement = placeRig(scene);
    if (!line.showPicture.empty())
        return writeTextFile(line.showPicture, rigPicture(scene, placement)) ? kExitWritten : kExitUsage;
    std::fputs((line.showBones ? bonesText(scene, placement) : treeText(scene)).c_str(), stdout);
    return kExitWritten;
}

// Whether the run asks for a file of the rig: a glTF file or a page.
bool wantsRigFiles(const CommandLine &line) { return !line.gltf.empty() || !line.view.empty(); }

// The rig files a run asks for, for the scene at line.scene.
RigFiles runFiles(const CommandLine &line, const PageTemplate &page, const Scene &scene,
                  const std::vector<std::string> &notes) {
    RigFiles files{line.gltf, line.view, &page, {}, line.scene, line.quiet};
    if (!line.view.empty())
        files.facts = sceneFacts(gltf::fileTitle(line.model), line.scene, scene, notes);
    return files;
}

// The scene just written, read back: the summary, and the tree, the glTF
// and the page (in the frame `rule`, with the faces of `mesh`, the page
// with the linking `notes`) and the picture when asked.  Every count comes
// from the scene itself.
int reportScene(const CommandLine &line, const PageTemplate &page, gltf::FrameRule rule, const gltf::MeshSource &mesh,
                const std::vector<std::string> &notes) {
    Scene scene;
    if (!readBack(line.scene, scene)) {
        // A scene with numbers that are not finite has no summary, but
        // still its rig, with those bones put right.
        std::string reason;
        if (wantsRigFiles(line) && readScene(line.scene, scene, reason, SceneNumbers::ForTheRig))
            writeRigFiles(runFiles(line, page, scene, notes), scene, rule, mesh);
        return kExitNoScene;
    }
    if (!line.quiet)
        std::printf("%s\n", summaryLine(line.scene, countScene(scene)).c_str());
    if (line.tree)
        std::fputs(treeText(scene).c_str(), stdout);
    std::fflush(stdout);
    const int status = writeRigFiles(runFiles(line, page, scene, notes), scene, rule, mesh);
    if (!line.preview.empty() && !writeTextFile(line.preview, rigPicture(scene, placeRig(scene))))
        return kExitUsage;
    return status;
}

// What the command tells after a run that wrote the scene: the report of
// the scene, and the linking notes on the model's curves.  Only a regular
// file is read back: reading a FIFO or a device would take the scene from
// whoever reads it, or wait for ever.
int reportRun(const CommandLine &line, const PageTemplate &page, const Mesh &mesh) {
    int status = kExitWritten;
    platform::FileKind kind;
    std::string why;
    const gltf::FrameRule rule = gltf::frameRuleOf(mesh.format);
    const bool regular = platform::fileKind(line.scene, kind, why) && kind == platform::FileKind::Regular;
    const bool rigFiles = wantsRigFiles(line);
    const std::vector<std::string> notes = linkingNotes(mesh, line.layers, line.surfaces);
    if (regular)
        status = reportScene(
            line, page, rule,
            gltf::MeshSource{&mesh, gltf::runLayers(mesh, line.layers), gltf::meshName(line.model), line.weights},
            notes);
    else if (!line.quiet || line.tree || !line.preview.empty() || rigFiles)
        std::fprintf(stderr, "spindle: %s: not a regular file, so the scene is not read back\n",
                     escapeControls(line.scene).c_str());
    if (rigFiles && !regular)
        status = kExitNoScene; // no rig to write
    if (!line.quiet)
        for (const std::string &note : notes)
            std::fprintf(stderr, "%s\n", note.c_str());
    return status;
}

// `spindle view SCENE -o PAGE`: the page of any scene, with the faces of
// the object file it loads.
int viewScene(const CommandLine &line, const PageTemplate &page) {
    Scene scene;
    if (!readBack(line.model, scene, SceneNumbers::ForTheRig))
        return kExitUsage;
    Mesh mesh;
    const gltf::MeshSource source = gltf::shownMeshSource(scene, line.model, line.view, line.weights, mesh);
    const RigFiles files{{},         line.view, &page, sceneFacts(gltf::fileTitle(line.model), line.model, scene, {}),
                         line.model, line.quiet};
    return writeRigFiles(files, scene, gltf::sceneFrameRule(scene), source);
}

} // namespace

std::string installedFile(const std::string &name, const std::string &installDir) {
    const std::string self = platform::programPath();
    if (self.empty())
        return name;
    const size_t start = platform::nameStart(self);
    const std::string folder = self.substr(0, start > 0 ? start - 1 : 0);
    const std::string separator(1, platform::separator());
    const std::string beside = folder + separator + name;
    if (platform::readable(beside))
        return beside;
    std::string installed = installDir;
    std::replace(installed.begin(), installed.end(), '/', platform::separator());
    return folder + separator + ".." + separator + installed + separator + name;
}

std::string defaultModulePath() { return installedFile("Spindle.p", SPINDLE_MODULE_INSTALL_DIR); }

namespace {

// The answer to --help, --version or `spindle show`, which run no module.
int answerWithoutRun(const CommandLine &line) {
    if (line.help) {
        std::fputs(usageText().c_str(), stdout);
        return kExitWritten;
    }
    if (line.version) {
        std::printf("spindle %s\n", SPINDLE_VERSION);
        return kExitWritten;
    }
    return showScene(line);
}

} // namespace

int spindleMain(int argc, char **argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    CommandLine line;
    std::string reason;
    // A file-size limit is reported as a failed write, not a killed process,
    // and the output carries its bytes as printed.
    platform::startCommand();
    if (!parseCommandLine(arguments, line, reason)) {
        std::fprintf(stderr, "spindle: %s\n", escapeControls(reason).c_str());
        return kExitUsage;
    }
    if (line.help || line.version || line.show)
        return answerWithoutRun(line);
    // The page's template is read before anything is written.
    PageTemplate page;
    if (!line.view.empty() && !loadPageTemplate(line, page))
        return kExitUsage;
    if (line.viewScene)
        return viewScene(line, page);
    Mesh mesh;
    if (!readModel(line, mesh))
        return kExitUsage;
    const int status = runModule(line, mesh);
    return status == kExitWritten ? reportRun(line, page, mesh) : status;
}

} // namespace standin
