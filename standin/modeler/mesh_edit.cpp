// The mesh edit: foreground layers in ascending number, polygons in file
// order decoded as they are scanned, and a point's record filled when it is
// asked for.
#include "standin/modeler/mesh_edit.h"
#include "standin/mesh/run_walker.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <memory>

namespace standin {

namespace {

// Points per block of the table that finds a point's layer.
constexpr size_t kBlockBits = 12;

// The edit in progress.  Runs never overlap, so one is enough.
struct Edit {
    MeshEditSession *session = nullptr;
    bool open = false;
    MeshEditOp op{};
    CommandContext context{};
    // A point's id is its index among all the mesh's points, plus one: the
    // mesh keeps every layer's points together, layer after layer.
    // pointInfo fills this one record for the point asked about.
    PointInfo record{};
    size_t pointCount = 0;
    // The layers that have points, by their first point (ascending), and per
    // block of 2^kBlockBits points the first of them holding a point of
    // that block: a point's layer is found among the layers that start in
    // its block, whatever the number of layers.
    std::vector<size_t> starts;
    std::vector<uint32_t> layerAt; // per entry of `starts`: the index into mesh->layers
    std::vector<uint32_t> blocks;
};

Edit edit;

PointId pointId(uintptr_t id) { return reinterpret_cast<PointId>(id); }

Transcript &transcript() {
    assert(edit.session != nullptr && edit.session->transcript != nullptr);
    return *edit.session->transcript;
}

int32_t polyScan(void *state, PolyScanFunc *scan, void *userData, int32_t layerMode) {
    transcript().record("meshEdit.polyScan layers " + std::to_string(layerMode));
    const MeshEditSession &session = *edit.session;
    const Mesh *mesh = session.config->mesh;
    if (state != &edit || !edit.open || !mesh || !scan) {
        transcript().record("meshEdit.polyScan -> 0 (nothing to scan)");
        return 0;
    }
    // Foreground layers in ascending number, file order among equal numbers.
    std::vector<int32_t> foreground = session.config->foreground;
    std::sort(foreground.begin(), foreground.end());
    std::vector<size_t> order;
    for (size_t i = 0; i < mesh->layers.size(); ++i)
        if (foreground.empty() || std::binary_search(foreground.begin(), foreground.end(), mesh->layers[i].number))
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return mesh->layers[a].number < mesh->layers[b].number; });
    std::vector<char> selected(mesh->surfaces.size());
    for (size_t i = 0; i < selected.size(); ++i)
        selected[i] = session.config->selectedSurfaces.empty() ||
            std::find(session.config->selectedSurfaces.begin(), session.config->selectedSurfaces.end(),
                      mesh->surfaces[i]) != session.config->selectedSurfaces.end();
    std::vector<const char *> names(mesh->surfaces.size());
    for (size_t i = 0; i < names.size(); ++i)
        names[i] = mesh->surfaces[i].c_str();
    // Each run's polygons decoded as its coding says, straight into the
    // record the module is handed.  The record is apart from the walk's own
    // state, which the module never sees, so that the state can stay in
    // registers while the module runs.
    PolygonInfo info{};
    struct Scan {
        PolyScanFunc *scan;
        void *userData;
        PolygonInfo *info;
        const char *selected;
        const char *const *names;
        // The points of the polygon being scanned, this scan's own (a scan
        // the module runs from within its callback has another): room for
        // any count a polygon's bytes can give, or a held polygon's count.
        std::unique_ptr<PointId[]> room_ = nullptr;
        size_t roomSize = 0;
        PointId *points = nullptr;
        PointId *out = nullptr;
        uintptr_t firstId = 0;
        int32_t result = 0;

        void reserve(size_t count) {
            if (roomSize < count) {
                room_.reset(new PointId[count]);
                roomSize = count;
            }
            points = out = room_.get();
        }
        void index(uint32_t i) { *out++ = pointId(firstId + i); }
        bool polygon(const PolygonHead &head, uint32_t count) {
            info->polygon = reinterpret_cast<PolygonId>(const_cast<void *>(head.id));
            info->flags =
                (selected[head.surface] ? HOST_POLY_SELECTED : 0) | (head.startControl ? HOST_POLY_START_CONTROL : 0);
            info->numPoints = static_cast<int32_t>(count);
            info->points = points;
            info->surface = names[head.surface];
            out = points;
            return (result = scan(userData, info)) == 0;
        }
    } visit{scan, userData, &info, selected.data(), names.data()};
    for (size_t layerIndex : order) {
        const MeshLayer &layer = mesh->layers[layerIndex];
        // A point's id is its place among all the mesh's points, plus one.
        visit.firstId = uintptr_t(layer.firstPoint) + 1;
        info.layer = layer.number;
        bool more = true;
        for (size_t r = 0; r < layer.runs.size() && more; ++r) {
            info.type = layer.runs[r].type;
            more = walkRun(*mesh, layer, layer.runs[r], visit);
        }
        if (!more)
            break;
    }
    const int32_t result = visit.result;
    transcript().record("meshEdit.polyScan -> " + std::to_string(result));
    return result;
}

const PointInfo *pointInfo(void *state, PointId point) {
    if (state != &edit || !edit.open || edit.session->config->refusePointInfo) {
        if (transcript().wanted())
            transcript().record("meshEdit.pointInfo -> null");
        return nullptr;
    }
    const uintptr_t id = reinterpret_cast<uintptr_t>(point);
    if (id == 0 || id > edit.pointCount) {
        transcript().record("meshEdit.pointInfo unknown point -> null");
        return nullptr;
    }
    const size_t index = id - 1;
    // The last layer that starts at or before the point, among those that
    // start in the point's block.
    const size_t block = index >> kBlockBits;
    const auto from = edit.starts.begin() + edit.blocks[block];
    const auto to =
        block + 1 < edit.blocks.size() ? edit.starts.begin() + edit.blocks[block + 1] + 1 : edit.starts.end();
    const size_t entry = size_t(std::upper_bound(from, to, index) - edit.starts.begin()) - 1;
    const MeshLayer &layer = edit.session->config->mesh->layers[edit.layerAt[entry]];
    edit.record = PointInfo{};
    edit.record.point = point;
    edit.record.layer = layer.number;
    const std::array<double, 3> position =
        edit.session->config->mesh->point(edit.layerAt[entry], index - layer.firstPoint);
    std::copy(position.begin(), position.end(), edit.record.position);
    if (transcript().wanted())
        transcript().record("meshEdit.pointInfo layer " + std::to_string(layer.number) + " point " +
                            std::to_string(index - layer.firstPoint));
    return &edit.record;
}

void done(void *state, int32_t error, int32_t selectionMode) {
    transcript().record("meshEdit.done " + std::to_string(error) + " " + std::to_string(selectionMode));
    if (state != &edit)
        return;
    edit.open = false;
    edit.pointCount = 0;
    edit.starts = {};
    edit.layerAt = {};
    edit.blocks = {};
    ++edit.session->done;
}

MeshEditOp *editBegin(int32_t pointBuffer, int32_t polygonBuffer, int32_t selectionMode) {
    MeshEditSession &session = *edit.session;
    transcript().record("context.editBegin " + std::to_string(pointBuffer) + " " + std::to_string(polygonBuffer) + " " +
                        std::to_string(selectionMode) + (session.config->refuseMeshEdit ? " -> null" : " -> meshEdit"));
    if (session.config->refuseMeshEdit)
        return nullptr;
    edit.pointCount = 0;
    edit.starts.clear();
    edit.layerAt.clear();
    edit.blocks.clear();
    if (const Mesh *mesh = session.config->mesh) {
        edit.pointCount = mesh->pointCount();
        for (size_t l = 0; l < mesh->layers.size(); ++l)
            if (mesh->layers[l].pointCount > 0) {
                edit.starts.push_back(mesh->layers[l].firstPoint);
                edit.layerAt.push_back(static_cast<uint32_t>(l));
            }
        edit.blocks.resize(((edit.pointCount + (size_t(1) << kBlockBits) - 1) >> kBlockBits));
        size_t entry = 0;
        for (size_t b = 0; b < edit.blocks.size(); ++b) {
            const size_t first = b << kBlockBits;
            while (entry + 1 < edit.starts.size() && edit.starts[entry + 1] <= first)
                ++entry;
            edit.blocks[b] = static_cast<uint32_t>(entry);
        }
    }
    edit.open = true;
    ++session.begun;
    edit.op = MeshEditOp{&edit, polyScan, pointInfo, done};
    return &edit.op;
}

} // namespace

CommandContext *commandContext(MeshEditSession &session) {
    edit.session = &session;
    edit.open = false;
    edit.context = CommandContext{nullptr, "", editBegin};
    return &edit.context;
}

} // namespace standin
