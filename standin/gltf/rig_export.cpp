// The rig written for the command.
#include "standin/gltf/rig_export.h"

#include <algorithm>
#include <cstdio>

#include "generated/version.h"
#include "standin/gltf/gltf_file.h"
#include "standin/gltf/mesh_document.h"
#include "standin/text/escape.h"
#include "standin/text/tell.h"
#include "standin/platform/platform.h"
#include "standin/readers/read_mesh.h"

namespace standin::gltf {

std::vector<size_t> runLayers(const Mesh &mesh, const std::vector<int> &numbers) {
    std::vector<size_t> layers;
    for (size_t l = 0; l < mesh.layers.size(); ++l)
        if (numbers.empty() || std::find(numbers.begin(), numbers.end(), mesh.layers[l].number) != numbers.end())
            layers.push_back(l);
    return layers;
}

std::string meshName(const std::string &path) {
    const std::string title = fileTitle(path);
    return title.empty() ? "Mesh" : title;
}

namespace {

// The bones of `scene` listed in `notFinite` (item indices, in file
// order), by number and name, in one line.
void tellBonesNotFinite(const std::string &path, const Scene &scene, const std::vector<int> &notFinite) {
    std::string names;
    long number = 0;
    size_t next = 0;
    for (size_t i = 0; i < scene.items.size() && next < notFinite.size(); ++i) {
        if (scene.items[i].kind != ItemKind::Bone)
            continue;
        ++number;
        if (int(i) != notFinite[next])
            continue;
        names += (next == 0 ? "" : ", ") + std::to_string(number) + " " + scene.items[i].name;
        ++next;
    }
    std::fprintf(stderr,
                 "spindle: note: %s: bones with numbers that are not finite, placed at their "
                 "parent's tip with length 0: %s\n",
                 escapeControls(path).c_str(), escapeControls(names).c_str());
}

// What the mesh of the file at `path` lost or bound otherwise, a line each.
void tellMeshNotes(const std::string &path, const MeshNotes &notes) {
    if (notes.facesNotFinite > 0) {
        const bool one = notes.facesNotFinite == 1;
        std::fprintf(stderr,
                     "spindle: note: %s: %s %s left out of the mesh: %s a point that a 32-bit float cannot hold\n",
                     escapeControls(path).c_str(), std::to_string(notes.facesNotFinite).c_str(), one ? "face" : "faces",
                     one ? "it uses" : "they use");
    }
    if (notes.fallbackVertices > 0)
        std::fprintf(stderr,
                     "spindle: note: %s: %zu vertices in %zu part%s of the mesh have no surface to bind along "
                     "(no area, or no bone behind it): bound by distance\n",
                     escapeControls(path).c_str(), notes.fallbackVertices, notes.fallbackParts,
                     notes.fallbackParts == 1 ? "" : "s");
}

} // namespace

RigDocument exportedRig(const Scene &scene, FrameRule rule, const std::string &path, const MeshSource &source) {
    // One placement for the bones' nodes and the mesh's weights.
    const RigPlacement placed = placeRig(scene, NotFinite::PutRight);
    RigDocument rig = rigDocument(scene, placed, rule, "Spindle " SPINDLE_VERSION);
    MeshNotes notes;
    if (source.mesh)
        addMesh(rig, scene, placed, rule, *source.mesh, source.layers, source.name, source.weights, notes);
    if (!placed.notFinite.empty())
        tellBonesNotFinite(path, scene, placed.notFinite);
    tellMeshNotes(path, notes);
    return rig;
}

bool exportRig(const Scene &scene, FrameRule rule, const std::string &path, const MeshSource &source) {
    const RigDocument rig = exportedRig(scene, rule, path, source);
    std::string why;
    if (writeGltfFile(path, rig.document, why))
        return true;
    tellNotWritten(path, why);
    return false;
}

namespace {

// The mesh of the object file the scene loads first, into `mesh`, and its
// path as the scene writes it; false for none (told in one line when the
// file cannot be read).
bool shownMesh(const Scene &scene, const std::string &scenePath, const std::string &path, Mesh &mesh,
               std::string &objectPath) {
    const int first = firstObject(scene);
    const SceneItem *object = first >= 0 ? &scene.items[size_t(first)] : nullptr;
    if (!object || object->kind != ItemKind::Object)
        return false;
    // As written, else beside the scene (a relative path only).
    std::string file = object->name;
    const size_t folderEnd = platform::nameStart(scenePath);
    const bool absolute = !file.empty() && (file[0] == '/' || file[0] == '\\' || file.find(':') != std::string::npos);
    if (!platform::readable(file) && !absolute && folderEnd > 0 &&
        platform::readable(scenePath.substr(0, folderEnd) + file))
        file = scenePath.substr(0, folderEnd) + file;
    platform::whenMappedFileCut("spindle: " + escapeControls(file) + ": cut short by another program while it was read",
                                1);
    std::string reason;
    if (!readMesh(file, mesh, reason)) {
        std::fprintf(stderr, "spindle: note: %s: the rig alone, without the mesh: %s: %s\n",
                     escapeControls(path).c_str(), escapeControls(object->name).c_str(),
                     escapeControls(reason).c_str());
        return false;
    }
    objectPath = object->name;
    return true;
}

} // namespace

MeshSource shownMeshSource(const Scene &scene, const std::string &scenePath, const std::string &path, Weights weights,
                           Mesh &mesh) {
    std::string object;
    if (!shownMesh(scene, scenePath, path, mesh, object))
        return {};
    return MeshSource{&mesh, runLayers(mesh, {}), meshName(object), weights};
}

bool exportShownRig(const Scene &scene, const std::string &scenePath, const std::string &path, Weights weights) {
    Mesh mesh;
    return exportRig(scene, sceneFrameRule(scene), path, shownMeshSource(scene, scenePath, path, weights, mesh));
}

} // namespace standin::gltf
