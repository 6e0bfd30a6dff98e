// LWO2 chunks: layers counted from 0, polygons with variable-length
// indices, and surfaces given to polygons by PTAG.
#include "standin/readers/lwo.h"
#include "standin/mesh/iff_bytes.h"

#include <algorithm>

namespace standin::iff {

// LWO2 LAYR: number, flags, pivot, name, optional parent.  The modeler
// writes its first layer as 0 and shows it as layer 1.
bool LwoReader::layr2(Cursor c, size_t header) {
    if (!c.has(16))
        return cutShort(header, id4("LAYR"));
    int32_t number = int32_t(c.u2()) + 1;
    c.pos += 14; // flags, pivot
    std::string name = c.left() > 0 ? c.s0() : std::string();
    startLayer(number, std::move(name));
    return true;
}

// LWO2 POLS: a type, then per polygon a count word (ten bits of count, six
// of flags) and its VX indices.  For CURV the documentation gives the two
// low flag bits as the control point toggles (0x0400 start, 0x0800 end) and
// the four high ones as further count bits; they are taken as bits 10-13 of
// the count, which brings it to the documented maximum of 16383.
bool LwoReader::pols2(Cursor c, size_t header) {
    if (!c.has(4))
        return cutShort(header, id4("POLS"));
    uint32_t type = c.u4();
    MeshLayer &l = layer();
    // An empty chunk starts no run, and a PTAG after it has no polygons to tag.
    latestRun = SIZE_MAX;
    if (c.left() == 0)
        return true;
    startRun(type, IndexCoding::Lwo2, c.pos, c.end);
    latestRun = l.runs.size() - 1;
    const bool curve = type == id4("CURV");
    const uint32_t available = uint32_t(std::min<size_t>(l.pointCount - pointsBase, UINT32_MAX));
    const uint8_t *const end = data + c.end;
    size_t count = 0;
    // Polygons whose indices all lie in the chunk and name its points are
    // taken in one tight pass; from the first other one on, each is read
    // checked step by step, to say where it goes wrong (or, near the
    // chunk's end, to take it all the same).
    const uint8_t *p = data + c.pos;
    if (havePoints)
        while (end - p >= 2) {
            const uint32_t word = (uint32_t(p[0]) << 8) | p[1];
            const uint32_t n = lwo2IndexCount(word, curve);
            const uint8_t *q = p + 2;
            if (size_t(end - q) < 4 * size_t(n))
                break;
            // Room for n indices of any width: the i-th starts at most 4i
            // bytes in, so four bytes can be read at each.
            bool outside = false;
            for (uint32_t i = 0; i < n; ++i)
                outside |= takeVx(q) >= available;
            if (outside)
                break;
            p = q;
            ++count;
        }
    c.pos = size_t(p - data);
    while (c.left() > 0) {
        size_t record = c.pos;
        if (!c.has(2))
            return cutShort(record, id4("POLS"));
        const uint32_t n = lwo2IndexCount(c.u2(), curve);
        if (!havePoints)
            return fail(record, "polygon before any points");
        if (!indices(c, record, n, true, id4("POLS")))
            return false;
        ++count;
    }
    l.runs.back().count = count;
    return true;
}

// LWO2 PTAG: only SURF matters; indices are into the most recent POLS.  A
// later entry for a polygon overrides an earlier one, as does a later PTAG.
bool LwoReader::ptag(Cursor c, size_t header) {
    if (!c.has(4))
        return cutShort(header, id4("PTAG"));
    if (c.u4() != id4("SURF"))
        return true;
    MeshLayer &l = layer();
    PolygonRun *run = latestRun < l.runs.size() ? &l.runs[latestRun] : nullptr;
    const size_t polygons = run ? run->count : 0;
    const uint8_t *const end = data + c.end;
    // The common chunk names every polygon in order with one tag: the run
    // keeps that one surface.  Such entries are taken in one tight pass; at
    // the first other entry the run gets a surface per polygon.
    size_t inOrder = 0;
    uint32_t only = 0;
    if (run && run->surfaces.empty()) {
        const uint8_t *p = data + c.pos;
        while (inOrder < polygons && end - p >= 4) {
            const uint8_t *q = p;
            if (takeVx(q) != inOrder || end - q < 2)
                break;
            const uint32_t tag = (uint32_t(q[0]) << 8) | q[1];
            if (inOrder == 0 ? tag >= tags.size() : tag != only)
                break;
            only = tag;
            ++inOrder;
            p = q + 2;
        }
        c.pos = size_t(p - data);
    }
    auto take = [&](uint32_t polygon, uint32_t tag) {
        if (run->surfaces.empty())
            spreadSurfaces(*run, inOrder, only);
        run->surfaces[polygon] = tag;
    };
    while (c.left() > 0) {
        // An entry whole within the chunk that names a polygon and a tag is
        // taken in one step; any other is read again below, checked.
        const uint8_t *p = data + c.pos;
        if (end - p >= 6) {
            const uint32_t polygon = takeVx(p);
            const uint32_t tag = (uint32_t(p[0]) << 8) | p[1];
            if (polygon < polygons && tag < tags.size()) {
                take(polygon, tag);
                c.pos = size_t(p + 2 - data);
                continue;
            }
        }
        size_t at = c.pos;
        uint32_t polygon;
        if (!c.vx(polygon) || !c.has(2))
            return cutShort(at, id4("PTAG"));
        uint16_t tag = c.u2();
        if (polygon >= polygons)
            return fail(at,
                        "polygon " + std::to_string(polygon) + " past the " + std::to_string(polygons) + " polygons");
        if (tag >= tags.size())
            return fail(at, "tag " + std::to_string(tag) + " past the " + std::to_string(tags.size()) + " tags");
        take(polygon, tag);
    }
    if (run && run->surfaces.empty() && inOrder > 0) {
        if (inOrder == polygons)
            run->surface = only;
        else
            spreadSurfaces(*run, inOrder, only);
    }
    return true;
}

// Gives `run` a surface per polygon: its first `tagged` polygons `tag`, the
// others the surface they had.
void LwoReader::spreadSurfaces(PolygonRun &run, size_t tagged, uint32_t tag) {
    run.surfaces.assign(run.count, run.surface);
    std::fill(run.surfaces.begin(), run.surfaces.begin() + std::ptrdiff_t(tagged), tag);
}

} // namespace standin::iff
