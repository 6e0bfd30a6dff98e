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

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace standin {

// The polygon types the stand-in tells apart, as four-character codes with
// the first character high: 'CURV' (a curve) and 'FACE' (a face).
constexpr uint32_t kCurve = 0x43555256u; // 'CURV'
constexpr uint32_t kFace = 0x46414345u;  // 'FACE'

// The record of one polygon of a run that has records (LWOB, in memory): its
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
    Lwo2,     // in Mesh::bytes, one polygon after another: a count word (ten bits, four more for curves) and VX indices
    Lwob,     // in Mesh::bytes, at each record: a two-byte count and two-byte indices
    InMemory, // in Mesh::indices, at each record: a count and the indices, 32 bits each
};

// Successive polygons of one layer that share a type and a coding: one
// polygon chunk of an IFF file, or the polygons a reader or builder added.
struct PolygonRun {
    uint32_t type = 0; // four-character code, first character high ('FACE', 'CURV', ...)
    IndexCoding coding = IndexCoding::InMemory;
    size_t first = 0;         // the run's first polygon in the layer
    size_t count = 0;         // its polygons
    size_t records = 0;       // Lwob, InMemory: its first record in MeshLayer::records
    size_t base = 0;          // Lwo2, Lwob: byte offset of the chunk's first polygon; a record's `at` counts from here
    size_t end = 0;           // Lwo2, Lwob: byte offset just past the chunk
    uint32_t indexOffset = 0; // added to every index: the layer's points before those the indices count from
    uint32_t checkedPointCount = 0; // Lwo2, Lwob: how many points the indices may name (the reader checked them)
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
    // Points in memory, layer after layer, three coordinates each.
    std::vector<double> points;
    // The counts and indices of the runs in memory.
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
    // doubles, polygons in memory.  addLayer starts a layer that the later points
    // and polygons go into.
    void addLayer(int32_t number, std::string name = {});
    void addPoint(double x, double y, double z);
    void addPolygon(uint32_t type, uint32_t surface, const uint32_t *points, size_t count, bool startControl = false,
                    bool endControl = false);
    // The index of the surface of that name, added at the end when new.
    uint32_t surfaceNamed(const std::string &name);
};

} // namespace standin
