// The stand-in modeler's model: what a model file holds, as the mesh edit
// hands it to a module.
//
// Stored compactly: an IFF file's bytes are kept whole (a large file's as
// the system maps it) and its points and polygons' point indices are read
// from them in place; a model built by hand
// or read from text holds its points in one flat array of doubles and its
// indices in one flat array of counts and indices.  Every polygon has one
// fixed-size record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace standin {

// One polygon's fixed-size record.  Its type and the place of its point
// indices come from the run of polygons it belongs to.
struct MeshPolygon {
    uint32_t at = 0;               // where its point count is: see PolygonRun
    uint32_t surface : 30 = 0;     // index into Mesh::surfaces
    uint32_t startControl : 1 = 0; // curve: the first point is a control point
    uint32_t endControl : 1 = 0;   // curve: the last point is a control point
};

// How a run's point counts and indices are stored, each polygon's count
// first and its indices after it.
enum class IndexCoding : uint8_t {
    Lwo2, // in Mesh::bytes: a count word (ten bits, four more for curves) and VX indices
    Lwob, // in Mesh::bytes: a two-byte count and two-byte indices
    Held, // in Mesh::indices: a count and the indices, 32 bits each
};

// Successive polygons of one layer that share a type and a coding: one
// polygon chunk of an IFF file, or the polygons a reader or builder added.
struct PolygonRun {
    uint32_t type = 0; // four-character code, first character high ('FACE', 'CURV', ...)
    IndexCoding coding = IndexCoding::Held;
    size_t first = 0;    // the run's first polygon in the layer
    size_t base = 0;     // Lwo2, Lwob: byte offset of the chunk; a polygon's `at` counts from here
    size_t end = 0;      // Lwo2, Lwob: byte offset just past the chunk
    uint32_t points = 0; // added to every index: the layer's points before those the indices count from
    uint32_t named = 0;  // Lwo2, Lwob: how many points the indices may name (the reader checked them)
};

// One PNTS chunk of an IFF layer: its points as the file holds them, three
// big-endian floats each.
struct PointChunk {
    size_t first = 0;  // its first point within the layer
    size_t offset = 0; // byte offset of that point in Mesh::bytes
};

struct MeshLayer {
    int32_t number = 1; // as the modeler shows it: the first layer is 1
    std::string name;
    size_t firstPoint = 0; // its first point among the mesh's points, layer after layer
    size_t pointCount = 0;
    std::vector<PointChunk> pointChunks; // where an IFF layer's points are; empty: in Mesh::points
    std::vector<MeshPolygon> polygons;   // in file order
    std::vector<PolygonRun> runs;        // in order, covering every polygon
};

// One polygon decoded, for readers of the model other than the scan.
struct PolygonData {
    uint32_t type = 0;
    uint32_t surface = 0;
    bool startControl = false;
    bool endControl = false;
    std::vector<uint32_t> points; // indices into the layer's points; any number, none included
};

struct Mesh {
    std::string format;                // "LWO2", "LWOB", "LWLO" or "OBJ"
    std::vector<std::string> surfaces; // surface names; "Default" when none
    std::vector<MeshLayer> layers;     // in file order

    // The IFF file whose chunks the layers read in place.
    std::shared_ptr<const uint8_t[]> bytes;
    size_t byteCount = 0;
    // Held points, layer after layer, three coordinates each.
    std::vector<double> points;
    // Held runs' counts and indices.
    std::vector<uint32_t> indices;

    // The number of points of all layers.
    size_t pointCount() const { return layers.empty() ? 0 : layers.back().firstPoint + layers.back().pointCount; }
    // Point `index` of layer `layer` (an index into `layers`).
    std::array<double, 3> point(size_t layer, size_t index) const;

    // Polygon `polygon` of layer `layer`, decoded.
    PolygonData polygon(size_t layer, size_t polygon) const;

    // Building a mesh by hand (the OBJ reader, tests, benchmarks): points as
    // doubles, polygons held.  addLayer starts a layer that the later points
    // and polygons go into.
    void addLayer(int32_t number, std::string name = {});
    void addPoint(double x, double y, double z);
    void addPolygon(uint32_t type, uint32_t surface, const uint32_t *points, size_t count, bool startControl = false,
                    bool endControl = false);
    // The index of the surface of that name, added at the end when new.
    uint32_t surfaceNamed(const std::string &name);
};

// Calls `each(index)` for the point indices of `polygon` of run `run`, in
// order, each already counted within its layer; returns their number.  The
// readers checked every count and index when they read the file.  A large
// file's bytes are its mapped pages, though, which another program may
// write to while the mesh reads them: so the walk never leaves the run's
// chunk, and every index it gives is one of the points the reader checked
// it against, whatever the bytes have become.
// The largest count a polygon's bytes can give (LWOB's two-byte count).
constexpr uint32_t kMostCodedIndices = 0xFFFF;

// forEachIndex for a run of coding `Coding`.
template <IndexCoding Coding, typename Each>
inline uint32_t forEachIndexOf(const Mesh &mesh, const PolygonRun &run, const MeshPolygon &polygon, Each &&each) {
    const uint32_t add = run.points;
    if constexpr (Coding == IndexCoding::Held) {
        const uint32_t *p = mesh.indices.data() + polygon.at;
        const uint32_t count = p[0];
        for (uint32_t i = 1; i <= count; ++i)
            each(p[i] + add);
        return count;
    } else {
        const uint8_t *p = mesh.bytes.get() + run.base + polygon.at;
        const uint8_t *const end = mesh.bytes.get() + run.end;
        if (run.named == 0)
            return 0;
        const uint32_t last = run.named - 1;
        auto named = [last](uint32_t index) { return index < last ? index : last; };
        uint32_t count = (uint32_t(p[0]) << 8) | p[1];
        p += 2;
        if constexpr (Coding == IndexCoding::Lwob) {
            if (count > size_t(end - p) / 2)
                count = uint32_t(size_t(end - p) / 2);
            for (uint32_t i = 0; i < count; ++i, p += 2)
                each(named((uint32_t(p[0]) << 8) | p[1]) + add);
            return count;
        } else {
            count = (count & 0x03FFu) | (run.type == 0x43555256u ? (count & 0xF000u) >> 2 : 0u);
            if (size_t(end - p) >= 4 * size_t(count)) {
                for (uint32_t i = 0; i < count; ++i) {
                    if (p[0] != 0xFF) {
                        each(named((uint32_t(p[0]) << 8) | p[1]) + add);
                        p += 2;
                    } else {
                        each(named((uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]) + add);
                        p += 4;
                    }
                }
                return count;
            }
            // Near the chunk's end: each index checked to lie within it.
            uint32_t given = 0;
            for (; given < count && end - p >= 2; ++given) {
                if (p[0] != 0xFF) {
                    each(named((uint32_t(p[0]) << 8) | p[1]) + add);
                    p += 2;
                } else if (end - p >= 4) {
                    each(named((uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]) + add);
                    p += 4;
                } else {
                    break;
                }
            }
            return given;
        }
    }
}

template <typename Each>
inline uint32_t forEachIndex(const Mesh &mesh, const PolygonRun &run, const MeshPolygon &polygon, Each &&each) {
    switch (run.coding) {
    case IndexCoding::Lwo2: return forEachIndexOf<IndexCoding::Lwo2>(mesh, run, polygon, each);
    case IndexCoding::Lwob: return forEachIndexOf<IndexCoding::Lwob>(mesh, run, polygon, each);
    case IndexCoding::Held: break;
    }
    return forEachIndexOf<IndexCoding::Held>(mesh, run, polygon, each);
}

// Reads a model file, telling its format by content.  On failure returns
// false and sets `reason` to one line, without the file name: where the
// file went wrong (byte offset or line) and why, or why it is no model file
// at all (a folder, a device, a file that cannot be read) or could not be
// read whole ("not enough memory to read it").  The format is told from the
// first bytes, so a file of no known format is refused without reading the
// rest; a FIFO without a writer reads as empty.
bool readMesh(const std::string &path, Mesh &mesh, std::string &reason);

// The same for bytes already in memory (an IFF file's bytes are copied, as
// the mesh keeps them).
bool readMeshBytes(const uint8_t *data, size_t size, Mesh &mesh, std::string &reason);

} // namespace standin
