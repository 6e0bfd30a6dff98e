// LWO2 chunks: layers counted from 0, polygons with variable-length
// indices, and surfaces given to polygons by PTAG.
#include "standin/lwo_reader.h"

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
    polygonsBase = l.polygons.size();
    if (c.left() > 0)
        startRun(type, IndexCoding::Lwo2, c.pos, c.end);
    // Room for as many triangles as the chunk could hold, so that a mesh's
    // records are not copied as they grow; pages never written stay
    // unused.
    l.polygons.reserve(l.polygons.size() + c.left() / 8);
    const size_t base = c.pos;
    while (c.left() > 0) {
        size_t record = c.pos;
        if (!c.has(2))
            return cutShort(record, id4("POLS"));
        uint16_t word = c.u2();
        MeshPolygon poly;
        poly.at = uint32_t(record - base);
        poly.surface = kNoSurface;
        uint32_t count = word & 0x03FFu;
        if (type == id4("CURV")) {
            count |= uint32_t(word & 0xF000u) >> 2;
            poly.startControl = (word & 0x0400u) != 0;
            poly.endControl = (word & 0x0800u) != 0;
        }
        if (!havePoints)
            return fail(record, "polygon before any points");
        if (!indices(c, record, count, true, id4("POLS")))
            return false;
        l.polygons.push_back(poly);
    }
    return true;
}

// LWO2 PTAG: only SURF matters; indices are into the most recent POLS.
bool LwoReader::ptag(Cursor c, size_t header) {
    if (!c.has(4))
        return cutShort(header, id4("PTAG"));
    if (c.u4() != id4("SURF"))
        return true;
    MeshLayer &l = layer();
    size_t polygons = l.polygons.size() - polygonsBase;
    while (c.left() > 0) {
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
        l.polygons[polygonsBase + polygon].surface = tag;
    }
    return true;
}

} // namespace standin::iff
