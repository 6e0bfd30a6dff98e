// LWOB and LWLO chunks: layers as the modeler shows them, polygons with
// two-byte indices and their surface, detail polygons, and curves.
#include "standin/readers/lwo.h"

namespace standin::iff {

// LWLO LAYR: number, flags, name.  The layered-object documentation gives
// the number as the modeler shows it ("from 1 to 10"), unlike LWO2's LAYR
// which counts from 0, so it is kept as written.
bool LwoReader::layrLwlo(Cursor c, size_t header) {
    if (!c.has(4))
        return cutShort(header, id4("LAYR"));
    int32_t number = int32_t(c.u2());
    c.pos += 2; // flags
    std::string name = c.left() > 0 ? c.s0() : std::string();
    startLayer(number, std::move(name));
    return true;
}

// One LWOB polygon (count, two-byte indices, signed surface) or curve (the
// same, then a flags word: bit 0 start control point, bit 1 end control
// point).  A negative polygon surface announces `details` detail polygons.
bool LwoReader::polygonOld(Cursor &c, bool curve, bool detail, uint32_t &details) {
    uint32_t chunk = curve ? id4("CRVS") : id4("POLS");
    size_t record = c.pos;
    if (!c.has(2))
        return cutShort(record, chunk);
    uint32_t count = c.u2();
    if (!havePoints)
        return fail(record, "polygon before any points");
    MeshPolygon poly;
    poly.at = uint32_t(record - layer().runs.back().base);
    if (!indices(c, record, count, false, chunk))
        return false;
    size_t at = c.pos;
    if (!c.has(2))
        return cutShort(at, chunk);
    int32_t surface = int16_t(c.u2());
    details = 0;
    if (surface < 0 && !curve) {
        if (detail)
            return fail(at, "detail polygon with details of its own");
        surface = -surface;
        if (!c.has(2))
            return cutShort(c.pos, chunk);
        details = c.u2();
    }
    if (surface < 1 || size_t(surface) > tags.size())
        return fail(
            at, "surface " + std::to_string(surface) + " not among the " + std::to_string(tags.size()) + " surfaces");
    poly.surface = uint32_t(surface - 1);
    if (curve) {
        if (!c.has(2))
            return cutShort(c.pos, chunk);
        uint16_t flags = c.u2();
        poly.startControl = (flags & 1u) != 0;
        poly.endControl = (flags & 2u) != 0;
    }
    layer().records.push_back(poly);
    ++layer().runs.back().count;
    return true;
}

// LWOB POLS and CRVS.  Detail polygons are kept as polygons of their own,
// in file order right after the polygon that carries them.
bool LwoReader::polsOld(Cursor c, bool curves) {
    layer();
    if (c.left() > 0)
        startRun(curves ? id4("CURV") : id4("FACE"), IndexCoding::Lwob, c.pos, c.end);
    // Room for as many triangles as the chunk could hold, so that the
    // records are not copied as they grow; pages never written stay unused.
    layer().records.reserve(layer().records.size() + c.left() / 10);
    while (c.left() > 0) {
        uint32_t details = 0;
        if (!polygonOld(c, curves, false, details))
            return false;
        for (uint32_t i = 0; i < details; ++i) {
            uint32_t none = 0;
            if (c.left() == 0)
                return cutShort(c.pos, id4("POLS"));
            if (!polygonOld(c, false, true, none))
                return false;
        }
    }
    return true;
}

} // namespace standin::iff
