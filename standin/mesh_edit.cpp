// The mesh edit: foreground layers in ascending number, polygons in file
// order, one point record per point of the model.
#include "standin/mesh_edit.h"

#include <algorithm>
#include <cassert>

namespace standin {

namespace {

// The edit in progress.  Runs never overlap, so one is enough.
struct Edit {
    MeshEditRoom *room = nullptr;
    bool open = false;
    MeshEditOp op{};
    CommandContext context{};
    // One PointInfo per point of every layer, all in one vector, layer after
    // layer; a point's id is its record's address.
    std::vector<PointInfo> records;
    std::vector<size_t> firstPoint;     // per layer: the index of its first record
    std::vector<uint32_t> pointInLayer; // per record: the point's index in its layer
    std::vector<PointId> polygonPoints; // the points of the polygon being scanned
};

Edit edit;

Transcript &transcript() {
    assert(edit.room != nullptr && edit.room->transcript != nullptr);
    return *edit.room->transcript;
}

int32_t polyScan(void *state, PolyScanFunc *scan, void *userData, int32_t layerMode) {
    transcript().record("meshEdit.polyScan layers " + std::to_string(layerMode));
    const MeshEditRoom &room = *edit.room;
    const Mesh *mesh = room.mesh;
    if (state != &edit || !edit.open || !mesh || !scan) {
        transcript().record("meshEdit.polyScan -> 0 (nothing to scan)");
        return 0;
    }
    // Foreground layers in ascending number, file order among equal numbers.
    std::vector<int32_t> foreground = room.foreground;
    std::sort(foreground.begin(), foreground.end());
    std::vector<size_t> order;
    for (size_t i = 0; i < mesh->layers.size(); ++i)
        if (foreground.empty() || std::binary_search(foreground.begin(), foreground.end(), mesh->layers[i].number))
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return mesh->layers[a].number < mesh->layers[b].number; });
    std::vector<char> selected(mesh->surfaces.size());
    for (size_t i = 0; i < selected.size(); ++i)
        selected[i] = room.selectedSurfaces.empty() ||
            std::find(room.selectedSurfaces.begin(), room.selectedSurfaces.end(), mesh->surfaces[i]) !=
                room.selectedSurfaces.end();
    int32_t result = 0;
    for (size_t layerIndex : order) {
        const MeshLayer &layer = mesh->layers[layerIndex];
        PointInfo *records = edit.records.data() + edit.firstPoint[layerIndex];
        for (const MeshPolygon &polygon : layer.polygons) {
            edit.polygonPoints.clear();
            for (uint32_t index : polygon.points)
                edit.polygonPoints.push_back(reinterpret_cast<PointId>(&records[index]));
            PolygonInfo info{};
            info.polygon = reinterpret_cast<PolygonId>(const_cast<MeshPolygon *>(&polygon));
            info.layer = layer.number;
            info.flags = (selected[polygon.surface] ? HOST_POLY_SELECTED : 0) |
                (polygon.startControl ? HOST_POLY_START_CONTROL : 0);
            info.numPoints = static_cast<int32_t>(polygon.points.size());
            info.points = edit.polygonPoints.data();
            info.surface = mesh->surfaces[polygon.surface].c_str();
            info.type = polygon.type;
            result = scan(userData, &info);
            if (result != 0)
                break;
        }
        if (result != 0)
            break;
    }
    transcript().record("meshEdit.polyScan -> " + std::to_string(result));
    return result;
}

const PointInfo *pointInfo(void *state, PointId point) {
    if (state != &edit || !edit.open || edit.room->refusePointInfo) {
        if (transcript().wanted())
            transcript().record("meshEdit.pointInfo -> null");
        return nullptr;
    }
    // An id is a record's address: inside the records and on a record's start.
    const uintptr_t first = reinterpret_cast<uintptr_t>(edit.records.data());
    const uintptr_t offset = reinterpret_cast<uintptr_t>(point) - first;
    if (edit.records.empty() || offset >= edit.records.size() * sizeof(PointInfo) || offset % sizeof(PointInfo) != 0) {
        transcript().record("meshEdit.pointInfo unknown point -> null");
        return nullptr;
    }
    const size_t index = offset / sizeof(PointInfo);
    const PointInfo *record = &edit.records[index];
    if (transcript().wanted())
        transcript().record("meshEdit.pointInfo layer " + std::to_string(record->layer) + " point " +
                            std::to_string(edit.pointInLayer[index]));
    return record;
}

void done(void *state, int32_t error, int32_t selectionMode) {
    transcript().record("meshEdit.done " + std::to_string(error) + " " + std::to_string(selectionMode));
    if (state != &edit)
        return;
    edit.open = false;
    edit.records = {};
    edit.firstPoint = {};
    edit.pointInLayer = {};
    edit.polygonPoints = {};
    ++edit.room->done;
}

MeshEditOp *editBegin(int32_t pointBuffer, int32_t polygonBuffer, int32_t selectionMode) {
    MeshEditRoom &room = *edit.room;
    transcript().record("context.editBegin " + std::to_string(pointBuffer) + " " + std::to_string(polygonBuffer) + " " +
                        std::to_string(selectionMode) + (room.refuseMeshEdit ? " -> null" : " -> meshEdit"));
    if (room.refuseMeshEdit)
        return nullptr;
    edit.records.clear();
    edit.firstPoint.clear();
    edit.pointInLayer.clear();
    if (const Mesh *mesh = room.mesh) {
        size_t total = 0;
        for (const MeshLayer &layer : mesh->layers)
            total += layer.points.size();
        // Sized once: the ids are the records' addresses and must not move.
        edit.records.resize(total);
        edit.pointInLayer.resize(total);
        edit.firstPoint.reserve(mesh->layers.size());
        size_t at = 0;
        for (const MeshLayer &layer : mesh->layers) {
            edit.firstPoint.push_back(at);
            for (size_t i = 0; i < layer.points.size(); ++i, ++at) {
                PointInfo &record = edit.records[at];
                record.point = reinterpret_cast<PointId>(&record);
                record.layer = layer.number;
                std::copy(layer.points[i].begin(), layer.points[i].end(), record.position);
                edit.pointInLayer[at] = static_cast<uint32_t>(i);
            }
        }
    }
    edit.open = true;
    ++room.begun;
    edit.op = MeshEditOp{&edit, polyScan, pointInfo, done};
    return &edit.op;
}

} // namespace

CommandContext *commandContext(MeshEditRoom &room) {
    edit.room = &room;
    edit.open = false;
    edit.context = CommandContext{nullptr, "", editBegin};
    return &edit.context;
}

} // namespace standin
