// Readers for the modeler's IFF object files: LWO2, and the older LWOB with
// its layered twin LWLO.
//
// Every read is checked against what is left of the current chunk (never by
// adding to a position), and nothing is reserved from a count the file claims
// before the bytes that would hold it are known to be there.
#include "standin/mesh_formats.h"

#include <cmath>
#include <cstring>
#include <unordered_map>

namespace standin {
namespace {

constexpr uint32_t id4(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

constexpr uint32_t kNoSurface = 0xFFFFFFFFu;

// An ID as it may appear in a reason: printable ASCII kept, the rest '?'.
std::string idText(uint32_t id) {
    std::string s(4, '?');
    for (int i = 0; i < 4; ++i) {
        char c = char((id >> (24 - 8 * i)) & 0xFF);
        if (c >= 0x20 && c < 0x7F)
            s[i] = c;
    }
    return s;
}

// A window of the file: `pos` is the absolute offset of the next byte, `end`
// the absolute offset just past the window.
struct Cursor {
    const uint8_t *data;
    size_t pos;
    size_t end;

    size_t left() const { return end - pos; }
    bool has(size_t n) const { return left() >= n; }

    uint16_t u2() {
        uint16_t v = uint16_t((data[pos] << 8) | data[pos + 1]);
        pos += 2;
        return v;
    }
    uint32_t u4() {
        uint32_t v = (uint32_t(data[pos]) << 24) | (uint32_t(data[pos + 1]) << 16) |
                     (uint32_t(data[pos + 2]) << 8) | uint32_t(data[pos + 3]);
        pos += 4;
        return v;
    }
    float f4() {
        uint32_t bits = u4();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    // A variable-length index: two bytes below 0xFF00, else four bytes whose
    // first byte is 0xFF.  False when the window cannot hold it.
    bool vx(uint32_t &v) {
        if (!has(2))
            return false;
        if (data[pos] != 0xFF) {
            v = u2();
            return true;
        }
        if (!has(4))
            return false;
        v = u4() & 0x00FFFFFFu;
        return true;
    }
    // A zero-terminated string padded to even length; a string that runs to
    // the end of the window without its zero is taken as it stands.
    std::string s0() {
        const uint8_t *start = data + pos;
        const void *zero = std::memchr(start, 0, left());
        size_t n = zero ? size_t(static_cast<const uint8_t *>(zero) - start) : left();
        std::string s(reinterpret_cast<const char *>(start), n);
        size_t used = zero ? n + 1 : n;
        if (used % 2 == 1 && left() - used > 0)
            ++used;
        pos += used;
        return s;
    }
};

struct LwoReader {
    const uint8_t *data;
    size_t size;
    Mesh &mesh;
    std::string &reason;

    LwoReader(const uint8_t *d, size_t n, Mesh &m, std::string &r)
        : data(d), size(n), mesh(m), reason(r) {}

    uint32_t form = 0;
    std::vector<std::string> tags; // LWO2 TAGS, or LWOB SRFS
    int current = -1;              // index into mesh.layers
    size_t pointsBase = 0;         // first point of the most recent PNTS
    bool havePoints = false;       // the current layer has had a PNTS
    size_t polygonsBase = 0;       // first polygon of the most recent POLS

    bool fail(size_t offset, const std::string &what) {
        reason = "byte " + std::to_string(offset) + ": " + what;
        return false;
    }
    bool cutShort(size_t offset, uint32_t chunk) {
        return fail(offset, idText(chunk) + " chunk cut short");
    }

    MeshLayer &layer() {
        if (current < 0)
            startLayer(1, std::string());
        return mesh.layers[size_t(current)];
    }
    void startLayer(int32_t number, std::string name) {
        MeshLayer l;
        l.number = number;
        l.name = std::move(name);
        mesh.layers.push_back(std::move(l));
        current = int(mesh.layers.size()) - 1;
        pointsBase = 0;
        havePoints = false;
        polygonsBase = 0;
    }

    bool read();
    bool chunk(uint32_t id, Cursor c, size_t header);
    bool points(Cursor c, size_t header);
    bool layr2(Cursor c, size_t header);
    bool layrLwlo(Cursor c, size_t header);
    bool pols2(Cursor c, size_t header);
    bool ptag(Cursor c, size_t header);
    bool polsOld(Cursor c, bool curves);
    bool polygonOld(Cursor &c, bool curve, bool detail, uint32_t &details);
    bool indices(Cursor &c, size_t record, uint32_t count, bool wide, uint32_t chunk,
                 MeshPolygon &poly);
    void finish();
};

bool LwoReader::read() {
    if (size < 12)
        return fail(0, "FORM chunk cut short");
    Cursor whole{data, 4, size};
    uint32_t formSize = whole.u4();
    if (formSize > whole.left())
        return fail(0, "FORM chunk runs past the end of the file");
    if (formSize < 4)
        return fail(0, "FORM chunk cut short");
    Cursor c{data, 8, 8 + size_t(formSize)};
    form = c.u4();
    if (form != id4("LWO2") && form != id4("LWOB") && form != id4("LWLO"))
        return fail(8, "not a model file of a known format");
    mesh.format = idText(form);

    while (c.left() > 0) {
        size_t header = c.pos;
        if (!c.has(8))
            return fail(header, "chunk header cut short");
        uint32_t id = c.u4();
        uint32_t length = c.u4();
        if (length > c.left())
            return fail(header, idText(id) + " chunk runs past the end of the file");
        Cursor body{data, c.pos, c.pos + length};
        if (!chunk(id, body, header))
            return false;
        c.pos = body.end;
        if (length % 2 == 1 && c.left() > 0)
            ++c.pos; // pad byte
    }
    finish();
    return true;
}

bool LwoReader::chunk(uint32_t id, Cursor c, size_t header) {
    if (id == id4("PNTS"))
        return points(c, header);
    if (form == id4("LWO2")) {
        if (id == id4("TAGS")) {
            while (c.left() > 0)
                tags.push_back(c.s0());
            return true;
        }
        if (id == id4("LAYR"))
            return layr2(c, header);
        if (id == id4("POLS"))
            return pols2(c, header);
        if (id == id4("PTAG"))
            return ptag(c, header);
        return true;
    }
    if (id == id4("SRFS")) {
        while (c.left() > 0)
            tags.push_back(c.s0());
        return true;
    }
    if (id == id4("LAYR") && form == id4("LWLO"))
        return layrLwlo(c, header);
    if (id == id4("POLS"))
        return polsOld(c, false);
    if (id == id4("CRVS"))
        return polsOld(c, true);
    return true;
}

bool LwoReader::points(Cursor c, size_t header) {
    if (c.left() % 12 != 0)
        return cutShort(header, id4("PNTS"));
    MeshLayer &l = layer();
    pointsBase = l.points.size();
    havePoints = true;
    l.points.reserve(pointsBase + c.left() / 12);
    while (c.left() > 0) {
        std::array<double, 3> p;
        for (double &v : p) {
            size_t at = c.pos;
            v = c.f4();
            if (!std::isfinite(v))
                return fail(at, "non-finite coordinate");
        }
        l.points.push_back(p);
    }
    return true;
}

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

// Reads `count` point indices (VX when `wide`, else two bytes) of the most
// recent PNTS chunk into `poly`.
bool LwoReader::indices(Cursor &c, size_t record, uint32_t count, bool wide, uint32_t chunk,
                        MeshPolygon &poly) {
    if (count > c.left() / 2)
        return fail(record, "vertex count " + std::to_string(count) + " more than the chunk holds");
    size_t available = layer().points.size() - pointsBase;
    poly.points.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        size_t at = c.pos;
        uint32_t index;
        if (wide) {
            if (!c.vx(index))
                return cutShort(at, chunk);
        } else {
            if (!c.has(2))
                return cutShort(at, chunk);
            index = c.u2();
        }
        if (index >= available)
            return fail(at, "index " + std::to_string(index) + " past the " +
                                std::to_string(available) + " points");
        poly.points.push_back(uint32_t(pointsBase + index));
    }
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
    while (c.left() > 0) {
        size_t record = c.pos;
        if (!c.has(2))
            return cutShort(record, id4("POLS"));
        uint16_t word = c.u2();
        MeshPolygon poly;
        poly.type = type;
        poly.surface = kNoSurface;
        uint32_t count = word & 0x03FFu;
        if (type == id4("CURV")) {
            count |= uint32_t(word & 0xF000u) >> 2;
            poly.startControl = (word & 0x0400u) != 0;
            poly.endControl = (word & 0x0800u) != 0;
        }
        if (!havePoints)
            return fail(record, "polygon before any points");
        if (!indices(c, record, count, true, id4("POLS"), poly))
            return false;
        l.polygons.push_back(std::move(poly));
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
            return fail(at, "polygon " + std::to_string(polygon) + " past the " +
                                std::to_string(polygons) + " polygons");
        if (tag >= tags.size())
            return fail(at, "tag " + std::to_string(tag) + " past the " +
                                std::to_string(tags.size()) + " tags");
        l.polygons[polygonsBase + polygon].surface = tag;
    }
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
    poly.type = curve ? id4("CURV") : id4("FACE");
    if (!indices(c, record, count, false, chunk, poly))
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
        return fail(at, "surface " + std::to_string(surface) + " not among the " +
                            std::to_string(tags.size()) + " surfaces");
    poly.surface = uint32_t(surface - 1);
    if (curve) {
        if (!c.has(2))
            return cutShort(c.pos, chunk);
        uint16_t flags = c.u2();
        poly.startControl = (flags & 1u) != 0;
        poly.endControl = (flags & 2u) != 0;
    }
    layer().polygons.push_back(std::move(poly));
    return true;
}

// LWOB POLS and CRVS.  Detail polygons are kept as polygons of their own,
// in file order right after the polygon that carries them.
bool LwoReader::polsOld(Cursor c, bool curves) {
    layer();
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

// A file without layers holds layer 1 alone; surface tags become names, and
// polygons without one get "Default".
void LwoReader::finish() {
    if (mesh.layers.empty())
        startLayer(1, std::string());
    std::unordered_map<std::string, uint32_t> byName;
    std::vector<uint32_t> byTag(tags.size(), kNoSurface);
    uint32_t defaultSurface = kNoSurface;
    auto named = [&](const std::string &name) {
        auto [it, added] = byName.emplace(name, uint32_t(mesh.surfaces.size()));
        if (added)
            mesh.surfaces.push_back(name);
        return it->second;
    };
    for (MeshLayer &l : mesh.layers)
        for (MeshPolygon &p : l.polygons) {
            if (p.surface == kNoSurface) {
                if (defaultSurface == kNoSurface)
                    defaultSurface = named("Default");
                p.surface = defaultSurface;
            } else {
                uint32_t &s = byTag[p.surface];
                if (s == kNoSurface)
                    s = named(tags[p.surface]);
                p.surface = s;
            }
        }
}

} // namespace

bool readLwo(const uint8_t *data, size_t size, Mesh &mesh, std::string &reason) {
    LwoReader reader(data, size, mesh, reason);
    return reader.read();
}

} // namespace standin
