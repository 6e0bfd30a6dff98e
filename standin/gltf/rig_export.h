// The command's glTF output: the rig of a scene, and the model's mesh
// skinned to it, written to a file, with what went wrong told on standard
// error.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "standin/gltf/mesh_document.h"
#include "standin/gltf/rig_document.h"
#include "standin/mesh/mesh.h"

namespace standin::gltf {

// The model whose faces go into the file: `mesh` (not owned; null: none),
// the indices into mesh->layers of the layers taken, and the name of its
// node (the model file's name without folder or extension), and how its
// vertices are bound to the bones.
struct MeshSource {
    const Mesh *mesh = nullptr;
    std::vector<size_t> layers;
    std::string name;
    Weights weights = Weights::Surface;
};

// A model file's name without its folder or extension ("Mesh" when none is
// left), as the mesh node's name.
std::string meshName(const std::string &path);

// The layers of a run: the indices of mesh.layers whose numbers are in
// `numbers`, or every layer when `numbers` is empty.
std::vector<size_t> runLayers(const Mesh &mesh, const std::vector<int> &numbers);

// The rig of `scene` as a glTF document, with the faces of `source`
// skinned to it (see mesh_document.h), for the file at `path`: bones whose
// numbers are not finite are named in one line "spindle: note: PATH: ...",
// and so are parts of the mesh that the surface weights left to the
// distances; the faces left out for a point a float cannot hold are
// counted in another.
RigDocument exportedRig(const Scene &scene, FrameRule rule, const std::string &path, const MeshSource &source = {});

// Writes the rig of `scene` as glTF to `path` (.glb or .gltf), with the
// faces of `source` skinned to it (see mesh_document.h).  Bones whose
// numbers are not finite are named in one line "spindle: note: ...", and so
// are parts of the mesh that the surface weights left to the distances; the
// faces left out for a point a float cannot hold are counted in another.  A
// failure to write is one line "spindle: PATH: cannot be written (WHY)";
// returns false then.
bool exportRig(const Scene &scene, FrameRule rule, const std::string &path, const MeshSource &source = {});

// The faces of the object file the scene at `scenePath` loads first, for
// the rig written to `path`, bound by `weights`: found at its path as
// written, else relative to the scene's folder, read into `mesh` (which
// the result views).  No faces (an empty source) when there is none: a null
// object has no mesh, and no line; an object file that cannot be read is
// told in one line "spindle: note: PATH: the rig alone, without the mesh:
// OBJECT: WHY".
MeshSource shownMeshSource(const Scene &scene, const std::string &scenePath, const std::string &path, Weights weights,
                           Mesh &mesh);

// The same for `spindle show`: the mesh is that of the object file the
// scene at `scenePath` loads first, found at its path as written, else
// relative to the scene's folder.  When the scene loads an object file
// that cannot be read, the rig is written alone after one line
// "spindle: note: PATH: the rig alone, without the mesh: OBJECT: WHY"; a
// null object has no mesh, and no line.
bool exportShownRig(const Scene &scene, const std::string &scenePath, const std::string &path,
                    Weights weights = Weights::Surface);

} // namespace standin::gltf
