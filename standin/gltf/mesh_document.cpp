// The mesh's records: materials, accessors over owned blocks, the skin's
// joints and weights (along the surface, or by distance) to the deforming
// bones.
#include "standin/gltf/mesh_document.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "standin/gltf/mesh_primitives.h"
#include "standin/geometry/normals.h"
#include "standin/platform/alongside.h"
#include "standin/platform/large_memory.h"
#include "standin/geometry/distance_weights.h"
#include "standin/geometry/nearest_search.h"
#include "standin/geometry/surface_graph.h"
#include "standin/geometry/surface_weights.h"

namespace standin::gltf {
using geometry::emptyWeights;
using geometry::SegmentTree;
using geometry::segmentTree;
using geometry::SkinBone;
using geometry::SkinWeights;
using geometry::skinWeightsOf;
using geometry::vertexNormals;

namespace {

// The deforming bones as segments in glTF's frame, each with its joint.
std::vector<SkinBone> deformingBones(const RigDocument &rig, const Scene &scene, const RigPlacement &pose,
                                     FrameRule rule) {
    std::vector<SkinBone> bones;
    for (size_t i = 0; i < scene.items.size(); ++i) {
        const int joint = rig.boneJoint[i];
        if (joint < 0 || !deformsMesh(scene.items[i]))
            continue;
        if (joint > 0xFFFF)
            return {}; // JOINTS_0 holds at most 16 bits
        const Vec3 base = inGltfFrame(pose.base[i], rule), tip = inGltfFrame(pose.tip[i], rule);
        SkinBone s;
        for (size_t a = 0; a < 3; ++a) {
            s.base[a] = float(base[a]);
            s.tip[a] = float(tip[a]);
        }
        s.joint = uint16_t(joint);
        bones.push_back(s);
    }
    return bones;
}

Material surfaceMaterial(const Mesh &mesh, uint32_t surface) {
    Material material;
    material.name = repairUtf8(mesh.surfaces[surface]);
    if (const std::array<float, 3> *colour = mesh.colourOf(surface))
        for (size_t c = 0; c < 3; ++c)
            material.baseColor[c] = std::isfinite((*colour)[c]) ? std::clamp(double((*colour)[c]), 0.0, 1.0) : 0.5;
    return material;
}

int vertexAccessor(Document &doc, int view, int componentType, size_t count, const char *type) {
    Accessor accessor;
    accessor.bufferView = view;
    accessor.componentType = componentType;
    accessor.count = count;
    accessor.type = type;
    return addAccessor(doc, accessor);
}

// One primitive's per-vertex normals and skin weights, made before any
// array goes into the document.
struct NormalsAndWeights {
    std::vector<float> normals;
    SkinWeights weights;
};

// The normals of every primitive into made[k].normals.
void primitiveNormals(const std::vector<MeshPrimitive> &primitives, std::vector<NormalsAndWeights> &made) {
    for (size_t k = 0; k < primitives.size(); ++k) {
        const MeshPrimitive &p = primitives[k];
        if (p.indices16.empty())
            vertexNormals(p.positions.data(), p.vertexCount(), p.indices32.data(), p.indices32.size(), made[k].normals);
        else
            vertexNormals(p.positions.data(), p.vertexCount(), p.indices16.data(), p.indices16.size(), made[k].normals);
    }
}

// Above this many vertices the normals, and a share of the distance
// weights, are made on a second thread, where the machine has a second
// processor: on one, the two would only take turns.
constexpr size_t kThreadedVertices = 100000;

bool twoThreadsFor(size_t vertices) { return vertices > kThreadedVertices && std::thread::hardware_concurrency() > 1; }

// With two threads, this one binds the first kOwnTenths tenths of each
// primitive's vertices, rounded down to a whole number of the search's
// blocks (geometry::kNearestBlock), so that the helper's share, the rest,
// starts on a block's boundary as it would on one thread.
constexpr size_t kOwnTenths = 6;

// The distance weights and the normals: the helper thread makes the normals
// and then binds the rest of each primitive's vertices after this thread's
// share (about 40 %), while this one binds its share.
void distanceWeights(const std::vector<MeshPrimitive> &primitives, const SegmentTree &tree, double size,
                     std::vector<NormalsAndWeights> &made) {
    std::vector<size_t> split(primitives.size(), 0);
    size_t vertices = 0;
    for (size_t k = 0; k < primitives.size(); ++k) {
        made[k].weights = emptyWeights(tree, primitives[k].vertexCount());
        vertices += primitives[k].vertexCount();
    }
    const bool threaded = twoThreadsFor(vertices);
    for (size_t k = 0; k < primitives.size(); ++k)
        split[k] = threaded
            ? primitives[k].vertexCount() * kOwnTenths / 10 / geometry::kNearestBlock * geometry::kNearestBlock
            : primitives[k].vertexCount();
    platform::alongside(
        threaded,
        [&] {
            primitiveNormals(primitives, made);
            for (size_t k = 0; k < primitives.size(); ++k)
                if (split[k] < primitives[k].vertexCount())
                    skinWeightsOf(tree, primitives[k].positions.data(), split[k], primitives[k].vertexCount(), size,
                                  made[k].weights);
        },
        [&](bool alone) {
            if (alone)
                for (size_t k = 0; k < primitives.size(); ++k)
                    split[k] = primitives[k].vertexCount();
            for (size_t k = 0; k < primitives.size(); ++k)
                skinWeightsOf(tree, primitives[k].positions.data(), 0, split[k], size, made[k].weights);
        });
}

// The surface weights, over all primitives as one surface whose sides the
// normals give (made beside the graph's edges); on a large mesh two threads
// share the graph's edges, the seeds, the spreading and the weights.
void surfaceWeightsOf(const std::vector<MeshPrimitive> &primitives, const SegmentTree &tree, double size,
                      std::vector<NormalsAndWeights> &made, MeshNotes &notes) {
    std::vector<geometry::TriangleSet> sets;
    size_t points = 0, vertices = 0;
    for (size_t k = 0; k < primitives.size(); ++k) {
        const MeshPrimitive &p = primitives[k];
        made[k].normals.resize(3 * p.vertexCount()); // made in place beside the graph's edges
        sets.push_back({p.positions.data(), made[k].normals.data(), p.points.data(), p.vertexCount(),
                        p.indices16.empty() ? nullptr : p.indices16.data(),
                        p.indices16.empty() ? p.indices32.data() : nullptr, p.indexCount()});
        for (uint32_t point : p.points)
            points = std::max<size_t>(points, size_t(point) + 1);
        vertices += p.vertexCount();
    }
    const bool threaded = twoThreadsFor(vertices);
    const geometry::SurfaceGraph graph =
        geometry::surfaceGraph(sets, points, threaded, [&] { primitiveNormals(primitives, made); });
    geometry::SurfaceWeightNotes surfaceNotes;
    SkinWeights byNode = geometry::surfaceWeights(tree, graph, size, threaded, surfaceNotes);
    notes.fallbackParts += surfaceNotes.fallbackParts;
    notes.fallbackVertices += surfaceNotes.fallbackNodes;
    if (graph.nodeOf.empty()) { // one primitive: its vertices are the nodes
        made[0].weights = std::move(byNode);
        return;
    }
    const uint32_t *node = graph.nodeOf.data();
    for (size_t k = 0; k < primitives.size(); ++k) {
        made[k].weights = emptyWeights(tree, primitives[k].vertexCount());
        for (size_t v = 0; v < primitives[k].vertexCount(); ++v, ++node)
            geometry::copySkinSlots(byNode, *node, made[k].weights, v);
    }
}

// Every primitive's normals, and its weights bound by `weights` to `bones`
// (none when empty).
std::vector<NormalsAndWeights> normalsAndWeights(const std::vector<MeshPrimitive> &primitives,
                                                 const std::vector<SkinBone> &bones, Weights weights,
                                                 MeshNotes &notes) {
    std::vector<NormalsAndWeights> made(primitives.size());
    if (bones.empty()) {
        primitiveNormals(primitives, made);
        return made;
    }
    const SegmentTree tree = segmentTree(bones);
    const double size = modelSize(primitives);
    if (weights == Weights::Distance)
        distanceWeights(primitives, tree, size, made);
    else
        surfaceWeightsOf(primitives, tree, size, made, notes);
    platform::releaseKeptBlocks(); // the weights' scratch arrays, kept for each other
    return made;
}

// Primitive `p` into the document, its arrays moved into owned blocks,
// with a material of its surface; JOINTS_0 and WEIGHTS_0 when `skinned`.
Primitive addPrimitive(Document &doc, const Mesh &mesh, MeshPrimitive &p, NormalsAndWeights &made, bool skinned) {
    Primitive out;
    out.material = int(doc.materials.size());
    doc.materials.push_back(surfaceMaterial(mesh, p.surface));
    const size_t count = p.vertexCount();
    Accessor position;
    position.componentType = kFloat;
    position.count = count;
    position.type = "VEC3";
    position.min.assign(p.lo.begin(), p.lo.end());
    position.max.assign(p.hi.begin(), p.hi.end());
    position.bufferView = addOwnedBlock(doc, std::move(p.positions), kArrayBuffer);
    out.attributes.push_back({"POSITION", addAccessor(doc, position)});
    out.attributes.push_back(
        {"NORMAL",
         vertexAccessor(doc, addOwnedBlock(doc, std::move(made.normals), kArrayBuffer), kFloat, count, "VEC3")});
    SkinWeights &w = made.weights;
    if (skinned) {
        const bool narrow = !w.joints8.empty() || w.joints16.empty();
        const int joints = narrow ? addOwnedBlock(doc, std::move(w.joints8), kArrayBuffer)
                                  : addOwnedBlock(doc, std::move(w.joints16), kArrayBuffer);
        out.attributes.push_back(
            {"JOINTS_0", vertexAccessor(doc, joints, narrow ? kUnsignedByte : kUnsignedShort, count, "VEC4")});
        out.attributes.push_back(
            {"WEIGHTS_0",
             vertexAccessor(doc, addOwnedBlock(doc, std::move(w.weights), kArrayBuffer), kFloat, count, "VEC4")});
    }
    const size_t indices = p.indexCount();
    const bool wide = p.indices16.empty();
    const int view = wide ? addOwnedBlock(doc, std::move(p.indices32), kElementArrayBuffer)
                          : addOwnedBlock(doc, std::move(p.indices16), kElementArrayBuffer);
    out.indices = vertexAccessor(doc, view, wide ? kUnsignedInt : kUnsignedShort, indices, "SCALAR");
    return out;
}

// The mesh node at the root of the scene, after the model's name, or
// "<name>_Mesh" where the rig's root took it (a scene's root is named after
// its object file too); skinned to the rig's skin when `skinned`.
void addMeshNode(RigDocument &rig, MeshRecord record, const std::string &name, bool skinned) {
    Document &doc = rig.document;
    Node node;
    const bool taken = rig.names.taken.count(threeJsName(repairUtf8(name))) > 0;
    node.name = claimName(rig.names, taken ? name + "_Mesh" : name, 0);
    node.mesh = int(doc.meshes.size());
    node.skin = skinned ? rig.skin : -1;
    record.name = node.name;
    doc.meshes.push_back(std::move(record));
    doc.sceneNodes.push_back(int(doc.nodes.size()));
    doc.nodes.push_back(std::move(node));
}

} // namespace

bool deformsMesh(const SceneItem &item) { return item.kind == ItemKind::Bone && item.active && item.strength != 0; }

size_t addMesh(RigDocument &rig, const Scene &scene, const RigPlacement &placed, FrameRule rule, const Mesh &mesh,
               const std::vector<size_t> &layers, const std::string &name, Weights weights, MeshNotes &notes) {
    std::vector<MeshPrimitive> primitives =
        meshPrimitives(mesh, layers, rule, weights == Weights::Surface && rig.skin >= 0, &notes.facesNotFinite);
    if (primitives.empty())
        return 0;
    const std::vector<SkinBone> bones =
        rig.skin >= 0 ? deformingBones(rig, scene, placed, rule) : std::vector<SkinBone>{};
    std::vector<NormalsAndWeights> made = normalsAndWeights(primitives, bones, weights, notes);
    MeshRecord record;
    size_t triangles = 0;
    for (size_t k = 0; k < primitives.size(); ++k) {
        triangles += primitives[k].indexCount() / 3;
        record.primitives.push_back(addPrimitive(rig.document, mesh, primitives[k], made[k], !bones.empty()));
    }
    addMeshNode(rig, std::move(record), name, !bones.empty());
    return triangles;
}

} // namespace standin::gltf
