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
    const bool curve = type == id4("CURV");
    const size_t available = l.pointCount - pointsBase;
    const uint8_t *const end = data + c.end;
    while (c.left() > 0) {
        // A polygon whose indices all lie in the chunk and name its points
        // is taken in one pass; any other is read again below, checked step
        // by step, to say where it goes wrong.
        const uint8_t *p = data + c.pos;
        if (havePoints && end - p >= 2) {
            const uint32_t word = (uint32_t(p[0]) << 8) | p[1];
            const uint32_t count = (word & 0x03FFu) | (curve ? (word & 0xF000u) >> 2 : 0u);
            const uint8_t *q = p + 2;
            if (size_t(end - q) >= 4 * size_t(count)) {
                bool outside = false;
                for (uint32_t i = 0; i < count; ++i) {
                    uint32_t index;
                    if (q[0] != 0xFF) {
                        index = (uint32_t(q[0]) << 8) | q[1];
                        q += 2;
                    } else {
                        index = (uint32_t(q[1]) << 16) | (uint32_t(q[2]) << 8) | q[3];
                        q += 4;
                    }
                    outside |= index >= available;
                }
                if (!outside) {
                    MeshPolygon poly;
                    poly.at = uint32_t(c.pos - base);
                    poly.surface = kNoSurface;
                    poly.startControl = curve && (word & 0x0400u) != 0;
                    poly.endControl = curve && (word & 0x0800u) != 0;
                    l.polygons.push_back(poly);
                    c.pos = size_t(q - data);
                    continue;
                }
            }
        }
        size_t record = c.pos;
        if (!c.has(2))
            return cutShort(record, id4("POLS"));
        uint16_t word = c.u2();
        MeshPolygon poly;
        poly.at = uint32_t(record - base);
        poly.surface = kNoSurface;
        uint32_t count = word & 0x03FFu;
        if (curve) {
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
    MeshPolygon *const records = l.polygons.data() + polygonsBase;
    const uint8_t *const end = data + c.end;
    while (c.left() > 0) {
        // An entry whole within the chunk that names a polygon and a tag is
        // taken in one step; any other is read again below, checked.
        const uint8_t *p = data + c.pos;
        if (end - p >= 6) {
            uint32_t polygon;
            if (p[0] != 0xFF) {
                polygon = (uint32_t(p[0]) << 8) | p[1];
                p += 2;
            } else {
                polygon = (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
                p += 4;
            }
            const uint32_t tag = (uint32_t(p[0]) << 8) | p[1];
            if (polygon < polygons && tag < tags.size()) {
                records[polygon].surface = tag;
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
        l.polygons[polygonsBase + polygon].surface = tag;
    }
    return true;
}

} // namespace standin::iff
