// The model's mesh in the rig's glTF document: one mesh node at the root
// of the scene, one primitive per surface with a material of the
// surface's colour, skinned to the bones that deform.
#pragma once

#include <cstddef>
#include <vector>

#include "standin/gltf/rig_document.h"
#include "standin/mesh/mesh.h"

namespace standin::gltf {

// Whether a scene item is a bone that moves the mesh: an active bone whose
// strength is not 0 (goal bones are written inactive with strength 0).
bool deformsMesh(const SceneItem &item);

// Adds the faces of `mesh`'s layers `layers` (indices into mesh.layers) to
// `rig`, built from `scene` in frame `rule` (the mesh is taken in the same
// frame).  The mesh node is a root of the scene, untransformed, named
// `name` (the model's; "<name>_Mesh" when a node has that name); each surface with faces is one primitive
// (POSITION, NORMAL, and JOINTS_0 and WEIGHTS_0 when any bone deforms)
// with a material named after the surface.  The large arrays are moved into
// the document as owned blocks.  Returns the number of triangles written;
// 0 (and nothing added) for a model without faces.  The faces left out for
// a point a float cannot hold are counted in rig.facesNotFinite.
size_t addMesh(RigDocument &rig, const Scene &scene, FrameRule rule, const Mesh &mesh,
               const std::vector<size_t> &layers, const std::string &name);

} // namespace standin::gltf
