// The stand-in modeler's model: what a model file holds, as the mesh edit
// hands it to a module.
//
// Stored compactly: an IFF file's bytes are kept whole (a large file's as
// the system maps it) and its points and polygons' point indices are read
// from them in place; a model built by hand or read from text holds its
// points in one flat array of doubles and its indices in one flat array of
// counts and indices.  LWO2 polygons are read from the file's bytes one
// after another and have no record; every other polygon has one small
// fixed-size record.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace standin {

// The record of one polygon of a run that has records (LWOB, held): its
// type and the place of its point indices come from its run.  An LWO2 run
// has none: its polygons are read from the file's bytes in order.
struct MeshPolygon {
    uint32_t at = 0;               // where its point count is: see PolygonRun
    uint32_t surface : 30 = 0;     // index into Mesh::surfaces
    uint32_t startControl : 1 = 0; // curve: the first point is a control point
    uint32_t endControl : 1 = 0;   // curve: the last point is a control point
};

// How a run's point counts and indices are stored, each polygon's count
// first and its indices after it.
enum class IndexCoding : uint8_t {
    Lwo2, // in Mesh::bytes, one polygon after another: a count word (ten bits, four more for curves) and VX indices
    Lwob, // in Mesh::bytes, at each record: a two-byte count and two-byte indices
    Held, // in Mesh::indices, at each record: a count and the indices, 32 bits each
};

// Successive polygons of one layer that share a type and a coding: one
// polygon chunk of an IFF file, or the polygons a reader or builder added.
struct PolygonRun {
    uint32_t type = 0; // four-character code, first character high ('FACE', 'CURV', ...)
    IndexCoding coding = IndexCoding::Held;
    size_t first = 0;    // the run's first polygon in the layer
    size_t count = 0;    // its polygons
    size_t records = 0;  // Lwob, Held: its first record in MeshLayer::records
    size_t base = 0;     // Lwo2, Lwob: byte offset of the chunk's first polygon; a record's `at` counts from here
    size_t end = 0;      // Lwo2, Lwob: byte offset just past the chunk
    uint32_t points = 0; // added to every index: the layer's points before those the indices count from
    uint32_t named = 0;  // Lwo2, Lwob: how many points the indices may name (the reader checked them)
    // Lwo2: the polygons' surfaces (indices into Mesh::surfaces), one per
    // polygon, or when empty `surface` for all of them.
    uint32_t surface = 0;
    std::vector<uint32_t> surfaces;
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
    std::vector<PolygonRun> runs;        // in file order, covering every polygon
    std::vector<MeshPolygon> records;    // the records of the runs that have them, in order

    size_t polygonCount() const { return runs.empty() ? 0 : runs.back().first + runs.back().count; }
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

    // The colours the file gives its surfaces, by surface name: red, green
    // and blue from 0 to 1 (an IFF SURF chunk's COLR, the Kd of an OBJ's
    // material library).  A surface not here has none.
    std::unordered_map<std::string, std::array<float, 3>> colours;
    // OBJ: the material libraries its mtllib statements name, as written.
    std::vector<std::string> materialLibraries;
    // The colour of surface `surface` (an index into surfaces), or null.
    const std::array<float, 3> *colourOf(uint32_t surface) const;

    // The number of points of all layers.
    size_t pointCount() const { return layers.empty() ? 0 : layers.back().firstPoint + layers.back().pointCount; }
    // Point `index` of layer `layer` (an index into `layers`).
    std::array<double, 3> point(size_t layer, size_t index) const;

    // The polygons of run `run` of layer `layer`, decoded in order.
    std::vector<PolygonData> runPolygons(size_t layer, size_t run) const;
    // Every polygon of layer `layer`, decoded in order.
    std::vector<PolygonData> polygons(size_t layer) const;
    // Polygon `polygon` of layer `layer`, decoded (an LWO2 run is walked
    // from its start to it: for a few polygons, not for all of them).
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

// The big-endian word at `p`, whose four bytes must be readable.
inline uint32_t bigEndian32(const uint8_t *p) {
    uint32_t w;
    std::memcpy(&w, p, 4);
    if constexpr (std::endian::native == std::endian::little)
        w = (w >> 24) | ((w >> 8) & 0xFF00u) | ((w << 8) & 0xFF0000u) | (w << 24);
    return w;
}

// The VX index at `p` (two bytes below 0xFF00, else four whose first is
// 0xFF), `p` moved past it; four bytes must be readable at `p`.
inline uint32_t takeVx(const uint8_t *&p) {
    const uint32_t w = bigEndian32(p);
    if ((w >> 24) != 0xFF) {
        p += 2;
        return w >> 16;
    }
    p += 4;
    return w & 0x00FFFFFFu;
}

// An LWO2 polygon's number of indices, from its count word: ten bits, and
// for curves the four high bits above the two control-point flags as bits
// 10-13.
inline uint32_t lwo2IndexCount(uint32_t word, bool curve) {
    return (word & 0x03FFu) | (curve ? (word & 0xF000u) >> 2 : 0u);
}

// The largest count a polygon's bytes can give (LWOB's two-byte count).
constexpr uint32_t kMostCodedIndices = 0xFFFF;

// What a walk over a run tells of each polygon besides its indices.
struct PolygonHead {
    const void *id = nullptr; // its record or its bytes: unique within the mesh
    uint32_t surface = 0;
    bool startControl = false;
    bool endControl = false;
};

// Walks the polygons of run `run` of `layer` in order, the run's coding
// being `Coding`.  For each polygon it calls `visit.room(n)` with at least
// its number of indices, `visit.index(i)` for each index in order (already
// counted within the layer), then `visit.polygon(head, count)`, which
// answers false to stop the walk.  Returns false when stopped.
//
// The readers checked every count and index when they read the file.  A
// large file's bytes are its mapped pages, though, which another program
// may write to while the mesh reads them: so the walk never leaves the
// run's chunk, every index it gives is one of the points the reader checked
// it against, and it ends early where the chunk's bytes run out, whatever
// the bytes have become.
template <IndexCoding Coding, typename Visit>
inline bool walkRunOf(const Mesh &mesh, const MeshLayer &layer, const PolygonRun &run, Visit &&visit) {
    const uint32_t add = run.points;
    PolygonHead head;
    if constexpr (Coding == IndexCoding::Held) {
        for (size_t k = 0; k < run.count; ++k) {
            const MeshPolygon &record = layer.records[run.records + k];
            const uint32_t *p = mesh.indices.data() + record.at;
            const uint32_t count = p[0];
            visit.room(count);
            for (uint32_t i = 1; i <= count; ++i)
                visit.index(p[i] + add);
            head.id = &record;
            head.surface = record.surface;
            head.startControl = record.startControl != 0;
            head.endControl = record.endControl != 0;
            if (!visit.polygon(head, count))
                return false;
        }
        return true;
    } else {
        const uint8_t *const bytes = mesh.bytes.get();
        const uint8_t *const end = bytes + run.end;
        const uint32_t last = run.named > 0 ? run.named - 1 : 0;
        auto named = [last](uint32_t index) { return index < last ? index : last; };
        const bool curve = run.type == 0x43555256u; // 'CURV'
        const uint32_t *const surfaces = run.surfaces.empty() ? nullptr : run.surfaces.data();
        const uint32_t surface = run.surface;
        const size_t polygons = run.count;
        const uint8_t *p = bytes + run.base;
        visit.room(kMostCodedIndices);
        for (size_t k = 0; k < polygons; ++k) {
            if constexpr (Coding == IndexCoding::Lwob) {
                const MeshPolygon &record = layer.records[run.records + k];
                p = bytes + run.base + record.at;
                head.id = &record;
                head.surface = record.surface;
                head.startControl = record.startControl != 0;
                head.endControl = record.endControl != 0;
            } else {
                head.id = p;
            }
            if (end - p < 2)
                return true;
            uint32_t count = (uint32_t(p[0]) << 8) | p[1];
            p += 2;
            if constexpr (Coding == IndexCoding::Lwo2) {
                head.surface = surfaces ? surfaces[k] : surface;
                head.startControl = curve && (count & 0x0400u) != 0;
                head.endControl = curve && (count & 0x0800u) != 0;
                count = lwo2IndexCount(count, curve);
            }
            uint32_t given = 0;
            if (run.named == 0) {
                // No points to name (every count the reader saw was 0): the
                // indices are stepped over, none given.
                p += std::min<size_t>(size_t(end - p), 2 * size_t(count));
            } else if constexpr (Coding == IndexCoding::Lwob) {
                given = std::min<uint32_t>(count, uint32_t(size_t(end - p) / 2));
                for (uint32_t i = 0; i < given; ++i, p += 2)
                    visit.index(named((uint32_t(p[0]) << 8) | p[1]) + add);
            } else if (size_t(end - p) >= 4 * size_t(count)) {
                // Room for `count` indices of any width: the i-th starts at
                // most 4i bytes in, so four bytes can be read at each.
                for (; given < count; ++given)
                    visit.index(named(takeVx(p)) + add);
            } else {
                // Near the chunk's end: each index checked to lie within it.
                for (; given < count && end - p >= 2; ++given) {
                    if (p[0] != 0xFF) {
                        visit.index(named((uint32_t(p[0]) << 8) | p[1]) + add);
                        p += 2;
                    } else if (end - p >= 4) {
                        visit.index(named((uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]) + add);
                        p += 4;
                    } else {
                        p = end;
                        break;
                    }
                }
            }
            if (!visit.polygon(head, given))
                return false;
        }
        return true;
    }
}

// walkRunOf for a run of any coding.
template <typename Visit>
inline bool walkRun(const Mesh &mesh, const MeshLayer &layer, const PolygonRun &run, Visit &&visit) {
    switch (run.coding) {
    case IndexCoding::Lwo2: return walkRunOf<IndexCoding::Lwo2>(mesh, layer, run, visit);
    case IndexCoding::Lwob: return walkRunOf<IndexCoding::Lwob>(mesh, layer, run, visit);
    case IndexCoding::Held: break;
    }
    return walkRunOf<IndexCoding::Held>(mesh, layer, run, visit);
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
