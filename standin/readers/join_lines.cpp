// Joining lines into curves.
#include "standin/readers/join_lines.h"

#include <cstdint>
#include <utility>

namespace standin {

namespace {

// Per curve of one layer, the curve that continues it, or -1.
std::vector<long> continuations(const std::vector<PolygonData> &polygons, size_t pointCount) {
    std::vector<uint32_t> starts(pointCount, 0), ends(pointCount, 0), through(pointCount, 0);
    std::vector<long> startingAt(pointCount, -1);
    for (size_t i = 0; i < polygons.size(); ++i) {
        const std::vector<uint32_t> &points = polygons[i].points;
        if (polygons[i].type != kCurve || points.empty())
            continue;
        ++starts[points.front()];
        ++ends[points.back()];
        startingAt[points.front()] = long(i);
        for (size_t k = 1; k + 1 < points.size(); ++k)
            ++through[points[k]];
    }
    std::vector<long> next(polygons.size(), -1);
    for (size_t i = 0; i < polygons.size(); ++i) {
        const std::vector<uint32_t> &points = polygons[i].points;
        if (polygons[i].type != kCurve || points.empty())
            continue;
        const uint32_t at = points.back();
        if (starts[at] != 1 || ends[at] != 1 || through[at] != 0)
            continue;
        const long following = startingAt[at];
        if (following != long(i) && polygons[size_t(following)].surface == polygons[i].surface)
            next[i] = following;
    }
    return next;
}

// The polygons of one layer with each run of continuing curves made one.
std::vector<PolygonData> joined(std::vector<PolygonData> polygons, size_t pointCount, size_t &joins) {
    const std::vector<long> next = continuations(polygons, pointCount);
    std::vector<bool> continuesAnother(polygons.size(), false);
    for (long following : next)
        if (following >= 0)
            continuesAnother[size_t(following)] = true;
    std::vector<bool> taken(polygons.size(), false);
    // A curve that continues no other heads its chain; a ring of curves,
    // which has no head, is opened at its first curve in file order.
    std::vector<long> head(polygons.size(), -1);
    const auto follow = [&](size_t first) {
        for (long at = long(first); at >= 0 && !taken[size_t(at)]; at = next[size_t(at)]) {
            taken[size_t(at)] = true;
            head[size_t(at)] = long(first);
        }
    };
    for (size_t i = 0; i < polygons.size(); ++i)
        if (!continuesAnother[i])
            follow(i);
    for (size_t i = 0; i < polygons.size(); ++i)
        if (!taken[i])
            follow(i);
    std::vector<PolygonData> out;
    out.reserve(polygons.size());
    for (size_t i = 0; i < polygons.size(); ++i) {
        if (head[i] != long(i))
            continue;
        PolygonData curve = std::move(polygons[i]);
        for (long at = next[i]; at >= 0 && at != long(i) && head[size_t(at)] == long(i); at = next[size_t(at)]) {
            const PolygonData &more = polygons[size_t(at)];
            curve.points.insert(curve.points.end(), more.points.begin() + 1, more.points.end());
            curve.endControl = more.endControl;
            ++joins;
        }
        out.push_back(std::move(curve));
    }
    return out;
}

} // namespace

size_t joinLines(Mesh &mesh) {
    size_t joins = 0;
    std::vector<std::vector<PolygonData>> layers;
    for (size_t l = 0; l < mesh.layers.size(); ++l)
        layers.push_back(joined(mesh.polygons(l), mesh.layers[l].pointCount, joins));
    if (joins == 0)
        return 0;
    Mesh rebuilt;
    rebuilt.format = mesh.format;
    rebuilt.surfaces = mesh.surfaces;
    rebuilt.points.reserve(3 * mesh.pointCount());
    for (size_t l = 0; l < mesh.layers.size(); ++l) {
        rebuilt.addLayer(mesh.layers[l].number, mesh.layers[l].name);
        for (size_t p = 0; p < mesh.layers[l].pointCount; ++p) {
            const std::array<double, 3> point = mesh.point(l, p);
            rebuilt.addPoint(point[0], point[1], point[2]);
        }
        for (const PolygonData &polygon : layers[l])
            rebuilt.addPolygon(polygon.type, polygon.surface, polygon.points.data(), polygon.points.size(),
                               polygon.startControl, polygon.endControl);
    }
    mesh = std::move(rebuilt);
    return joins;
}

} // namespace standin
