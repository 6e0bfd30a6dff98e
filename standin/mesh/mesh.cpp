// The mesh's compact storage: decoding one polygon, and building a mesh by
// hand with its polygons in memory.
#include "standin/mesh/mesh.h"
#include "standin/mesh/iff_bytes.h"
#include "standin/mesh/run_walker.h"

#include <algorithm>
#include <cassert>
#include <new>

namespace standin {

std::array<double, 3> Mesh::point(size_t layer, size_t index) const {
    const MeshLayer &l = layers[layer];
    if (l.pointChunks.empty()) {
        const double *p = &points[3 * (l.firstPoint + index)];
        return {p[0], p[1], p[2]};
    }
    // The last chunk that starts at or before the point: nearly always the
    // layer's only one.
    const PointChunk *chunk = &l.pointChunks.back();
    if (chunk->first > index)
        chunk = &*(std::upper_bound(l.pointChunks.begin(), l.pointChunks.end(), index,
                                    [](size_t i, const PointChunk &c) { return i < c.first; }) -
                   1);
    const uint8_t *p = bytes.get() + chunk->offset + 12 * (index - chunk->first);
    return {floatAt(p), floatAt(p + 4), floatAt(p + 8)};
}

namespace {

// Decodes the polygons of run `run` from its `from`-th to before its
// `to`-th into `out`.
void decodeRun(const Mesh &mesh, const MeshLayer &layer, const PolygonRun &run, size_t from, size_t to,
               std::vector<PolygonData> &out) {
    struct Decoder {
        const PolygonRun &run;
        size_t from, to;
        std::vector<PolygonData> &out;
        size_t place = 0;
        std::vector<uint32_t> points;

        void reserve(size_t) {}
        void index(uint32_t i) { points.push_back(i); }
        bool polygon(const PolygonHead &head, uint32_t) {
            if (place++ >= from) {
                PolygonData &data = out.emplace_back();
                data.type = run.type;
                data.surface = head.surface;
                data.startControl = head.startControl;
                data.endControl = head.endControl;
                data.points = std::move(points);
            }
            points.clear();
            return place < to;
        }
    } decoder{run, from, to, out, 0, {}};
    walkRun(mesh, layer, run, decoder);
}

} // namespace

std::vector<PolygonData> Mesh::runPolygons(size_t layer, size_t run) const {
    std::vector<PolygonData> out;
    const MeshLayer &l = layers[layer];
    out.reserve(l.runs[run].count);
    decodeRun(*this, l, l.runs[run], 0, SIZE_MAX, out);
    return out;
}

std::vector<PolygonData> Mesh::polygons(size_t layer) const {
    std::vector<PolygonData> out;
    const MeshLayer &l = layers[layer];
    out.reserve(l.polygonCount());
    for (const PolygonRun &run : l.runs)
        decodeRun(*this, l, run, 0, SIZE_MAX, out);
    return out;
}

PolygonData Mesh::polygon(size_t layer, size_t polygon) const {
    const MeshLayer &l = layers[layer];
    assert(polygon < l.polygonCount());
    // The last run that starts at or before the polygon.
    const PolygonRun &run = *(std::upper_bound(l.runs.begin(), l.runs.end(), polygon,
                                               [](size_t p, const PolygonRun &r) { return p < r.first; }) -
                              1);
    const size_t place = polygon - run.first;
    std::vector<PolygonData> out;
    if (run.coding == IndexCoding::Lwo2) {
        // Its bytes are walked from the run's start.
        decodeRun(*this, l, run, place, place + 1, out);
    } else {
        // The walk starts at the polygon's record.
        PolygonRun one = run;
        one.records += place;
        one.count = 1;
        decodeRun(*this, l, one, 0, 1, out);
    }
    if (!out.empty())
        return std::move(out.front());
    PolygonData none;
    none.type = run.type;
    return none;
}

void Mesh::addLayer(int32_t number, std::string name) {
    MeshLayer layer;
    layer.number = number;
    layer.name = std::move(name);
    layer.firstPoint = pointCount();
    layers.push_back(std::move(layer));
}

void Mesh::addPoint(double x, double y, double z) {
    points.insert(points.end(), {x, y, z});
    ++layers.back().pointCount;
}

void Mesh::addPolygon(uint32_t type, uint32_t surface, const uint32_t *points, size_t count, bool startControl,
                      bool endControl) {
    // A record's place and surface have 32 and 30 bits; a model that needs
    // more does not fit in memory either.
    if (indices.size() + count + 1 > UINT32_MAX || surface >= (1u << 30) || count > UINT32_MAX)
        throw std::bad_alloc();
    MeshLayer &layer = layers.back();
    if (layer.runs.empty() || layer.runs.back().type != type || layer.runs.back().coding != IndexCoding::InMemory) {
        PolygonRun run;
        run.type = type;
        run.coding = IndexCoding::InMemory;
        run.first = layer.polygonCount();
        run.records = layer.records.size();
        layer.runs.push_back(run);
    }
    MeshPolygon record;
    record.at = uint32_t(indices.size());
    record.surface = surface;
    record.startControl = startControl;
    record.endControl = endControl;
    indices.push_back(uint32_t(count));
    indices.insert(indices.end(), points, points + count);
    layer.records.push_back(record);
    ++layer.runs.back().count;
}

uint32_t Mesh::surfaceNamed(const std::string &name) {
    const auto found = std::find(surfaces.begin(), surfaces.end(), name);
    if (found != surfaces.end())
        return uint32_t(found - surfaces.begin());
    surfaces.push_back(name);
    return uint32_t(surfaces.size() - 1);
}

} // namespace standin
