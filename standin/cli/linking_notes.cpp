// Linking notes: the curves that start a chain of their own without the
// rigger meaning it.  Bones link only to a bone that ends where they start,
// point for point, so a curve drawn from another curve's first point, or
// from a point at the same place that was never merged, is not linked.
#include <algorithm>
#include <array>
#include <map>
#include <set>

#include "standin/cli/linking_notes.h"
#include "standin/text/escape.h"

namespace standin {

namespace {

// A curve the run collects, by where it stands in the file.
struct CurveRef {
    size_t layer;   // index into Mesh::layers
    size_t polygon; // index into the layer's polygons
    PolygonData data;
};

std::string describe(const Mesh &mesh, const CurveRef &curve) {
    return "the curve in layer " + std::to_string(mesh.layers[curve.layer].number) + ", polygon " +
        std::to_string(curve.polygon) + ", surface \"" + escapeControls(mesh.surfaces[curve.data.surface]) + "\"";
}

} // namespace

std::vector<std::string> linkingNotes(const Mesh &mesh, const std::vector<int> &foreground,
                                      const std::vector<std::string> &selectedSurfaces) {
    const std::set<int> layers(foreground.begin(), foreground.end());
    const std::set<std::string> surfaces(selectedSurfaces.begin(), selectedSurfaces.end());
    std::vector<CurveRef> curves;
    for (size_t l = 0; l < mesh.layers.size(); ++l) {
        if (!layers.empty() && !layers.count(mesh.layers[l].number))
            continue;
        // Only curve runs are decoded: a model's faces cost nothing here.
        const MeshLayer &layer = mesh.layers[l];
        for (size_t r = 0; r < layer.runs.size(); ++r) {
            if (layer.runs[r].type != kCurve)
                continue;
            std::vector<PolygonData> run = mesh.runPolygons(l, r);
            for (size_t k = 0; k < run.size(); ++k) {
                PolygonData &data = run[k];
                if (!surfaces.empty() && !surfaces.count(mesh.surfaces[data.surface]))
                    continue;
                if (data.points.size() >= 2)
                    curves.push_back({l, layer.runs[r].first + k, std::move(data)});
            }
        }
    }
    // The module scans the layers in ascending number; the notes follow it.
    std::stable_sort(curves.begin(), curves.end(), [&](const CurveRef &a, const CurveRef &b) {
        return mesh.layers[a.layer].number < mesh.layers[b.layer].number;
    });

    // A point is its layer and its index there.  A bone ends at every point
    // of a curve after its first, except at the end of a start control
    // segment, which carries no bone; a chain begins at the first point of
    // its first bone.
    using Point = std::pair<size_t, uint32_t>;
    std::set<Point> boneEnds;
    std::map<Point, size_t> chainStarts; // point -> the first curve beginning there
    std::map<std::array<double, 3>, std::vector<std::pair<size_t, Point>>> places;
    auto pointOf = [&](const CurveRef &curve, size_t i) { return Point{curve.layer, curve.data.points[i]}; };
    for (size_t c = 0; c < curves.size(); ++c) {
        const PolygonData &polygon = curves[c].data;
        const size_t firstBone = polygon.startControl ? 1 : 0;
        chainStarts.emplace(pointOf(curves[c], 0), c);
        if (firstBone == 1)
            chainStarts.emplace(pointOf(curves[c], 1), c);
        for (size_t i = 0; i < polygon.points.size(); ++i) {
            const Point point = pointOf(curves[c], i);
            if (i > firstBone)
                boneEnds.insert(point);
            std::vector<std::pair<size_t, Point>> &here = places[mesh.point(point.first, point.second)];
            if (here.empty() || here.back().first != c)
                here.push_back({c, point});
        }
    }

    // A start control segment that hangs from a bone passes its place on:
    // whatever starts at its end hangs from that bone too.  Control curves
    // may hang from one another, so until nothing changes.
    for (bool grew = true; grew;) {
        grew = false;
        for (const CurveRef &curve : curves)
            if (curve.data.startControl && boneEnds.count(pointOf(curve, 0)))
                grew = boneEnds.insert(pointOf(curve, 1)).second || grew;
    }

    std::vector<std::string> notes;
    for (size_t c = 0; c < curves.size(); ++c) {
        const Point start = pointOf(curves[c], 0);
        if (boneEnds.count(start))
            continue; // linked
        const size_t first = chainStarts.at(start);
        if (first != c) {
            notes.push_back("spindle: note: " + describe(mesh, curves[c]) + " starts at the first point of " +
                            describe(mesh, curves[first]) +
                            ", so it starts a chain of its own (bones link only to a bone that ends where they start)");
            continue;
        }
        // Only where another curve's bone ends would merging have linked it.
        for (const auto &[other, point] : places.at(mesh.point(start.first, start.second))) {
            if (other != c && point != start && boneEnds.count(point)) {
                notes.push_back(
                    "spindle: note: " + describe(mesh, curves[c]) + " starts where " + describe(mesh, curves[other]) +
                    " has a point, but not at that point (the points were not merged), so it is not linked");
                break;
            }
        }
    }
    return notes;
}

} // namespace standin
