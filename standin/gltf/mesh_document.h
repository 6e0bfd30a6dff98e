// The model's mesh in the rig's glTF document: one mesh node at the root
// of the scene, one primitive per surface with a material of the
// surface's colour, skinned to the bones that deform.
#pragma once

#include <cstddef>
#include <vector>

#include "standin/gltf/rig_document.h"
#include "standin/mesh/mesh.h"

namespace standin::gltf {

// How the mesh's vertices are bound to the bones.
enum class Weights {
    Surface,  // along the body's surface from the bones it wraps (geometry/surface_weights.h)
    Distance, // the four nearest bones in a straight line, 1/d^4 (geometry/distance_weights.h)
};

// What the mesh could not take as asked: vertices of parts that took the
// distance weights instead of the surface weights, and faces left out for a
// point a float cannot hold (see meshPrimitives).
struct MeshNotes {
    size_t fallbackParts = 0;
    size_t fallbackVertices = 0;
    size_t facesNotFinite = 0;
};

// Whether a scene item is a bone that moves the mesh: an active bone whose
// strength is not 0 (goal bones are written inactive with strength 0).
bool deformsMesh(const SceneItem &item);

// Adds the faces of `mesh`'s layers `layers` (indices into mesh.layers) to
// `rig`, built from `scene` placed as `placed` in frame `rule` (the mesh is
// taken in the same frame).  The mesh node is a root of the scene, untransformed, named
// `name` (the model's; "<name>_Mesh" when a node has that name); each surface with faces is one primitive
// (POSITION, NORMAL, and JOINTS_0 and WEIGHTS_0 bound by `weights` when
// any bone deforms) with a material named after the surface; `notes` gets
// what the binding could not do, and the faces left out for a point a float
// cannot hold.  The large arrays are moved into the document as owned
// blocks.  Returns the number of triangles written; 0 (and nothing added)
// for a model without faces.
size_t addMesh(RigDocument &rig, const Scene &scene, const RigPlacement &placed, FrameRule rule, const Mesh &mesh,
               const std::vector<size_t> &layers, const std::string &name, Weights weights, MeshNotes &notes);

} // namespace standin::gltf
