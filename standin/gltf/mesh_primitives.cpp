// The primitives of a model: its points in glTF's frame, its faces cut into
// triangles surface by surface, then each surface's vertices numbered.
//
// Two walks over the faces: the first counts each surface's triangles, so
// that the second writes them in place without growing anything; no face
// allocates.
#include "standin/gltf/mesh_primitives.h"

#include "standin/geometry/triangulate.h"
#include "standin/mesh/iff_bytes.h"
#include "standin/mesh/run_walker.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace standin::gltf {
using geometry::triangulate;
using geometry::TriangulationScratch;

namespace {

// The points of the layers, three floats each, layer after layer, in glTF's
// frame; `offsets` gets each layer's first point among them.
std::vector<float> layerPoints(const Mesh &mesh, const std::vector<size_t> &layers, FrameRule frame,
                               std::vector<uint32_t> &offsets) {
    size_t total = 0;
    for (size_t l : layers) {
        offsets.push_back(uint32_t(total));
        total += mesh.layers[l].pointCount;
    }
    assert(total < UINT32_MAX);
    std::vector<float> points(3 * total);
    const float zSign = frame == FrameRule::MirrorZ ? -1.0f : 1.0f;
    float *out = points.data();
    for (size_t l : layers) {
        const MeshLayer &layer = mesh.layers[l];
        if (layer.pointChunks.empty()) {
            const double *p = mesh.points.data() + 3 * layer.firstPoint;
            for (size_t i = 0; i < 3 * layer.pointCount; i += 3, out += 3) {
                out[0] = float(p[i]);
                out[1] = float(p[i + 1]);
                out[2] = zSign * float(p[i + 2]);
            }
            continue;
        }
        for (size_t c = 0; c < layer.pointChunks.size(); ++c) {
            const size_t end = c + 1 < layer.pointChunks.size() ? layer.pointChunks[c + 1].first : layer.pointCount;
            const uint8_t *p = mesh.bytes.get() + layer.pointChunks[c].offset;
            for (size_t i = layer.pointChunks[c].first; i < end; ++i, p += 12, out += 3) {
                out[0] = floatAt(p);
                out[1] = floatAt(p + 4);
                out[2] = zSign * floatAt(p + 8);
            }
        }
    }
    return points;
}

// Counts the triangles of each surface's faces.
struct Counter {
    std::vector<size_t> &triangles;
    void reserve(size_t) {}
    void index(uint32_t) {}
    bool polygon(const PolygonHead &head, uint32_t count) {
        if (count >= 3)
            triangles[head.surface] += count - 2;
        return true;
    }
};

// Cuts each face into triangles and writes them, as indices into the
// layers' points, at the end of its surface's list.
struct Cutter {
    const float *points;
    uint32_t offset;    // the layer's first point among `points`
    uint32_t available; // the layer's points
    bool mirrored;
    std::vector<std::vector<uint32_t>> &lists;
    std::vector<size_t> &filled;
    bool anyNotFinite; // some point of the layers is not finite as a float
    std::vector<uint32_t> face;
    TriangulationScratch scratch;
    bool outside = false;
    uint32_t given = 0;
    size_t notFinite = 0; // the faces left out for a point that is not finite

    void reserve(size_t n) {
        if (face.size() < n)
            face.resize(n);
        given = 0;
        outside = false;
    }
    void index(uint32_t i) {
        outside |= i >= available;
        face[given++] = offset + i;
    }
    bool finite(uint32_t n) const {
        if (!anyNotFinite)
            return true;
        for (uint32_t k = 0; k < n; ++k) {
            const float *p = points + 3 * size_t(face[k]);
            if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
                return false;
        }
        return true;
    }
    bool polygon(const PolygonHead &head, uint32_t) {
        const uint32_t n = given;
        given = 0;
        if (n < 3 || outside) {
            outside = false;
            return true;
        }
        if (!finite(n)) {
            ++notFinite;
            return true;
        }
        std::vector<uint32_t> &list = lists[head.surface];
        size_t &at = filled[head.surface];
        assert(at + 3 * (n - 2) <= list.size());
        uint32_t *out = list.data() + at;
        triangulate(points, face.data(), n, out, scratch);
        // Triangles that name a point twice are dropped; the rest close up.
        uint32_t *keep = out;
        for (uint32_t t = 0; t < n - 2; ++t, out += 3) {
            const uint32_t a = out[0], b = mirrored ? out[2] : out[1], c = mirrored ? out[1] : out[2];
            if (a == b || b == c || a == c)
                continue;
            keep[0] = a;
            keep[1] = b;
            keep[2] = c;
            keep += 3;
        }
        at = size_t(keep - list.data());
        return true;
    }
};

// Numbers the vertices of one surface's triangles `list` (indices into
// `points`) and fills `primitive`; `stamp` marks each point taken, with
// `mark`, and `vertexOf` gives its vertex.
void numberVertices(const std::vector<float> &points, std::vector<uint32_t> &list, size_t used, uint32_t mark,
                    std::vector<uint32_t> &stamp, std::vector<uint32_t> &vertexOf, bool keepPoints,
                    MeshPrimitive &primitive) {
    std::vector<float> &positions = primitive.positions;
    positions.reserve(3 * std::min(stamp.size(), used));
    if (keepPoints)
        primitive.points.reserve(std::min(stamp.size(), used));
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    uint32_t vertices = 0;
    for (size_t k = 0; k < used; ++k) {
        const uint32_t point = list[k];
        if (stamp[point] != mark) {
            stamp[point] = mark;
            vertexOf[point] = vertices++;
            const float *p = points.data() + 3 * size_t(point);
            for (int a = 0; a < 3; ++a) {
                lo[a] = vertices == 1 ? p[a] : std::min(lo[a], p[a]);
                hi[a] = vertices == 1 ? p[a] : std::max(hi[a], p[a]);
            }
            positions.insert(positions.end(), p, p + 3);
            if (keepPoints)
                primitive.points.push_back(point);
        }
        list[k] = vertexOf[point];
    }
    for (int a = 0; a < 3; ++a) {
        primitive.lo[size_t(a)] = lo[a];
        primitive.hi[size_t(a)] = hi[a];
    }
    // glTF keeps the largest index of a type for restarting strips.
    if (vertices <= 0xFFFF) {
        primitive.indices16.assign(list.begin(), list.begin() + std::ptrdiff_t(used));
        list = {};
    } else {
        list.resize(used);
        primitive.indices32 = std::move(list);
    }
}

} // namespace

std::vector<MeshPrimitive> meshPrimitives(const Mesh &mesh, const std::vector<size_t> &layers, FrameRule frame,
                                          bool keepPoints, size_t *notFinite) {
    std::vector<uint32_t> offsets;
    const std::vector<float> points = layerPoints(mesh, layers, frame, offsets);
    const bool anyNotFinite = !std::all_of(points.begin(), points.end(), [](float x) { return std::isfinite(x); });
    const size_t surfaces = mesh.surfaces.size();

    std::vector<size_t> triangles(surfaces, 0);
    Counter counter{triangles};
    for (size_t l : layers)
        for (const PolygonRun &run : mesh.layers[l].runs)
            if (run.type == kFace)
                walkRun(mesh, mesh.layers[l], run, counter);

    std::vector<std::vector<uint32_t>> lists(surfaces);
    for (size_t s = 0; s < surfaces; ++s)
        lists[s].resize(3 * triangles[s]);
    std::vector<size_t> filled(surfaces, 0);
    Cutter cutter{points.data(), 0, 0, frame == FrameRule::MirrorZ, lists, filled, anyNotFinite, {}, {}, false, 0, 0};
    for (size_t k = 0; k < layers.size(); ++k) {
        const MeshLayer &layer = mesh.layers[layers[k]];
        cutter.offset = offsets[k];
        cutter.available = uint32_t(layer.pointCount);
        for (const PolygonRun &run : layer.runs)
            if (run.type == kFace)
                walkRun(mesh, layer, run, cutter);
    }
    if (notFinite)
        *notFinite = cutter.notFinite;

    std::vector<MeshPrimitive> primitives;
    std::vector<uint32_t> stamp(points.size() / 3, 0), vertexOf(points.size() / 3);
    for (size_t s = 0; s < surfaces; ++s) {
        if (filled[s] == 0)
            continue;
        MeshPrimitive &primitive = primitives.emplace_back();
        primitive.surface = uint32_t(s);
        numberVertices(points, lists[s], filled[s], uint32_t(primitives.size()), stamp, vertexOf, keepPoints,
                       primitive);
    }
    return primitives;
}

double modelSize(const std::vector<MeshPrimitive> &primitives) {
    if (primitives.empty())
        return 0;
    std::array<double, 3> lo, hi;
    for (size_t a = 0; a < 3; ++a) {
        lo[a] = primitives.front().lo[a];
        hi[a] = primitives.front().hi[a];
        for (const MeshPrimitive &p : primitives) {
            lo[a] = std::min(lo[a], double(p.lo[a]));
            hi[a] = std::max(hi[a], double(p.hi[a]));
        }
    }
    return std::hypot(hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]);
}

} // namespace standin::gltf
