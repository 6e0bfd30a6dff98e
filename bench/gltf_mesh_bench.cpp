// The glTF mesh's stages on the model of the grid of quads under a chain of
// curves (3 bones each): the primitives of the faces, their normals, and the
// skin weights (by distance, and along the surface), whose time should grow
// about linearly in the vertices and far slower than linearly in the bones;
// the surface weights of the continuous two-legged body the Blender test
// bends (tests/gltf/data/body_legs.obj, about 31,000 vertices); and one face
// of many points cut into triangles, convex and concave, whose time should
// grow about linearly in its points.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "bench/heap.h"
#include "bench/model_files.h"
#include "standin/gltf/mesh_primitives.h"
#include "standin/readers/read_mesh.h"
#include "standin/geometry/normals.h"
#include "standin/geometry/distance_weights.h"
#include "standin/geometry/surface_graph.h"
#include "standin/geometry/surface_weights.h"
#include "standin/geometry/triangulate.h"
#include "standin/mesh/mesh.h"

namespace {

using namespace standin::gltf;
using namespace standin::geometry;
using standin::kCurve;

struct Model {
    standin::Mesh mesh;
    std::vector<MeshPrimitive> primitives;
    std::vector<SkinBone> bones;
};

// The LWO2 model of `faces` quads and `curves` curves of 4 points in the
// layout `rig`, read, its faces as primitives and its curves' segments as
// bones.
const Model &model(int64_t faces, int curves, benchmodel::RigLayout rig = benchmodel::RigLayout::Helix) {
    static std::map<std::tuple<int64_t, int, int>, std::unique_ptr<Model>> models;
    std::unique_ptr<Model> &m = models[{faces, curves, int(rig)}];
    if (m)
        return *m;
    m = std::make_unique<Model>();
    const std::string bytes = benchmodel::modelFile(benchmodel::Format::Lwo2, {faces, curves, 4, rig});
    std::string reason;
    if (!standin::readMeshBytes(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), m->mesh, reason))
        std::abort();
    m->primitives = meshPrimitives(m->mesh, {0}, FrameRule::MirrorZ, true);
    for (size_t r = 0; r < m->mesh.layers[0].runs.size(); ++r)
        if (m->mesh.layers[0].runs[r].type == kCurve)
            for (const standin::PolygonData &curve : m->mesh.runPolygons(0, r))
                for (size_t i = 0; i + 1 < curve.points.size(); ++i) {
                    const auto a = m->mesh.point(0, curve.points[i]), b = m->mesh.point(0, curve.points[i + 1]);
                    SkinBone s;
                    s.base = {float(a[0]), float(a[1]), -float(a[2])};
                    s.tip = {float(b[0]), float(b[1]), -float(b[2])};
                    s.joint = uint16_t(m->bones.size());
                    m->bones.push_back(s);
                }
    return *m;
}

// The weights' time per vertex, or per bone when `byBones`: scripts/bench
// takes the growth exponent over the counter that is not zero (vertices, or
// bones at a fixed 1,000,000 quads).
void weigh(benchmark::State &state, int64_t faces, int curves, bool byBones) {
    const Model &m = model(faces, curves);
    const MeshPrimitive &p = m.primitives.front();
    const double size = boxDiagonal(p.positions.data(), p.vertexCount());
    double peak = 0;
    for (auto _ : state) {
        benchheap::Watch watch;
        const SegmentTree tree = segmentTree(m.bones);
        SkinWeights skin = skinWeights(tree, p.positions.data(), p.vertexCount(), size);
        benchmark::DoNotOptimize(skin);
        peak = std::max(peak, watch.mebibytes());
    }
    benchheap::report(state, 0, double(m.bones.size()), byBones ? 0 : double(p.vertexCount()), peak);
    state.SetLabel(std::to_string(p.vertexCount()) + " vertices " + std::to_string(m.bones.size()) + " bones");
    state.SetItemsProcessed(state.iterations() * int64_t(p.vertexCount()));
}

// Vertices growing, 2,400 bones.
void skinWeightsByVertices(benchmark::State &state) { weigh(state, state.range(0), 800, false); }
// Bones growing (3 per curve), 1,000,000 quads.
void skinWeightsByBones(benchmark::State &state) { weigh(state, 1000000, int(state.range(0) / 3), true); }

// The surface weights of primitive `p` (its normals made first, as the
// export makes them): the graph, the seeds and the spread.
SkinWeights alongSurface(const MeshPrimitive &p, const std::vector<float> &normals, const SegmentTree &tree,
                         double size, bool twoThreads) {
    const std::vector<TriangleSet> sets{{p.positions.data(), normals.data(), p.points.data(), p.vertexCount(),
                                         p.indices16.empty() ? nullptr : p.indices16.data(),
                                         p.indices16.empty() ? p.indices32.data() : nullptr, p.indexCount()}};
    const size_t points = p.points.empty() ? 0 : size_t(*std::max_element(p.points.begin(), p.points.end())) + 1;
    const SurfaceGraph graph = surfaceGraph(sets, points, twoThreads);
    SurfaceWeightNotes notes;
    return surfaceWeights(tree, graph, size, twoThreads, notes);
}

std::vector<float> normalsOf(const MeshPrimitive &p) {
    std::vector<float> n;
    if (p.indices32.empty())
        vertexNormals(p.positions.data(), p.vertexCount(), p.indices16.data(), p.indices16.size(), n);
    else
        vertexNormals(p.positions.data(), p.vertexCount(), p.indices32.data(), p.indices32.size(), n);
    return n;
}

// The surface weights of model `m`'s grid, each iteration as the export
// makes them (two threads past 100,000 vertices), labelled `name`.
void surfaceWeightsOf(benchmark::State &state, const Model &m, const std::string &name) {
    const MeshPrimitive &p = m.primitives.front();
    const double size = boxDiagonal(p.positions.data(), p.vertexCount());
    const std::vector<float> normals = normalsOf(p);
    const SegmentTree tree = segmentTree(m.bones);
    double peak = 0;
    for (auto _ : state) {
        benchheap::Watch watch;
        SkinWeights skin = alongSurface(p, normals, tree, size, p.vertexCount() > 100000);
        benchmark::DoNotOptimize(skin);
        peak = std::max(peak, watch.mebibytes());
    }
    benchheap::report(state, 0, double(m.bones.size()), double(p.vertexCount()), peak);
    state.SetLabel(name + std::to_string(p.vertexCount()) + " vertices " + std::to_string(m.bones.size()) + " bones");
    state.SetItemsProcessed(state.iterations() * int64_t(p.vertexCount()));
}

// The surface weights' time per vertex on the grid, 2,400 bones, the
// seeds' search and the spread shared by two threads as in the export.
void surfaceWeightsByVertices(benchmark::State &state) { surfaceWeightsOf(state, model(state.range(0), 800), ""); }

// The surface weights at 1,000,000 quads and 2,400 bones in each layout of
// benchmodel::RigLayout (the argument).
void surfaceWeightsByLayout(benchmark::State &state) {
    static const char *const kNames[] = {"helix, ", "corner, ", "spread, ", "inside, ", "ground, "};
    surfaceWeightsOf(state, model(1000000, 800, benchmodel::RigLayout(state.range(0))), kNames[state.range(0)]);
}

// The surface weights of the two-legged body, on one thread.
void surfaceWeightsOfBody(benchmark::State &state) {
    static standin::Mesh mesh;
    static std::vector<MeshPrimitive> body;
    static std::vector<SkinBone> bones;
    if (body.empty()) {
        std::string reason;
        if (!standin::readMesh(SPINDLE_SOURCE_DIR "/tests/gltf/data/body_legs.obj", mesh, reason))
            std::abort();
        body = meshPrimitives(mesh, {0}, FrameRule::Unchanged, true);
        for (const standin::PolygonData &line : mesh.polygons(0))
            for (size_t i = 0; line.type == kCurve && i + 1 < line.points.size(); ++i) {
                const auto a = mesh.point(0, line.points[i]), b = mesh.point(0, line.points[i + 1]);
                bones.push_back({{float(a[0]), float(a[1]), float(a[2])},
                                 {float(b[0]), float(b[1]), float(b[2])},
                                 uint16_t(bones.size())});
            }
    }
    const MeshPrimitive &p = body.front();
    const double size = boxDiagonal(p.positions.data(), p.vertexCount());
    const std::vector<float> normals = normalsOf(p);
    const SegmentTree tree = segmentTree(bones);
    for (auto _ : state) {
        SkinWeights skin = alongSurface(p, normals, tree, size, false);
        benchmark::DoNotOptimize(skin);
    }
    state.SetLabel(std::to_string(p.vertexCount()) + " vertices " + std::to_string(bones.size()) + " bones");
    state.SetItemsProcessed(state.iterations() * int64_t(p.vertexCount()));
}

void primitives(benchmark::State &state) {
    const standin::Mesh &mesh = model(state.range(0), 800).mesh;
    double peak = 0;
    for (auto _ : state) {
        benchheap::Watch watch;
        std::vector<MeshPrimitive> p = meshPrimitives(mesh, {0}, FrameRule::MirrorZ);
        benchmark::DoNotOptimize(p);
        peak = std::max(peak, watch.mebibytes());
    }
    benchheap::report(state, double(state.range(0)), 0, double(mesh.pointCount()), peak);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void normals(benchmark::State &state) {
    const MeshPrimitive &p = model(state.range(0), 800).primitives.front();
    std::vector<float> n;
    for (auto _ : state) {
        if (p.indices32.empty())
            vertexNormals(p.positions.data(), p.vertexCount(), p.indices16.data(), p.indices16.size(), n);
        else
            vertexNormals(p.positions.data(), p.vertexCount(), p.indices32.data(), p.indices32.size(), n);
        benchmark::DoNotOptimize(n);
    }
    benchheap::report(state, double(state.range(0)), 0, double(p.vertexCount()), 0);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// One face of `count` points round the origin in the plane z = 0: on a
// circle (convex, but for the floats' rounding), or a star whose points lie
// by turns on circles of radius 1 and 0.5 (concave: every other corner is
// reflex).
void triangulateFace(benchmark::State &state, bool star) {
    const auto count = uint32_t(state.range(0));
    std::vector<float> points;
    std::vector<uint32_t> face(count);
    for (uint32_t i = 0; i < count; ++i) {
        const double a = 6.283185307179586 * i / count, r = star && i % 2 ? 0.5 : 1.0;
        points.insert(points.end(), {float(r * std::cos(a)), float(r * std::sin(a)), 0.0f});
        face[i] = i;
    }
    std::vector<uint32_t> out(3 * (size_t(count) - 2));
    double peak = 0;
    for (auto _ : state) {
        benchheap::Watch watch;
        TriangulationScratch scratch; // a new one, as for each model
        triangulate(points.data(), face.data(), count, out.data(), scratch);
        benchmark::DoNotOptimize(out.data());
        peak = std::max(peak, watch.mebibytes());
    }
    benchheap::report(state, 1, 0, double(count), peak);
    state.SetItemsProcessed(state.iterations() * int64_t(count));
}

void triangulateConvexFace(benchmark::State &state) { triangulateFace(state, false); }
void triangulateConcaveFace(benchmark::State &state) { triangulateFace(state, true); }

BENCHMARK(skinWeightsByVertices)->Arg(100000)->Arg(300000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(skinWeightsByBones)->Arg(300)->Arg(1200)->Arg(2400)->Unit(benchmark::kMillisecond);
BENCHMARK(surfaceWeightsByVertices)
    ->Arg(100000)
    ->Arg(300000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(surfaceWeightsByLayout)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(surfaceWeightsOfBody)->Unit(benchmark::kMillisecond);
BENCHMARK(primitives)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(normals)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(triangulateConvexFace)->Arg(15000)->Arg(60000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(triangulateConcaveFace)->Arg(15000)->Arg(60000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
