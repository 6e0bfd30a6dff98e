// Readers for the modeler's IFF object files: the FORM walk, points,
// polygon indices and surfaces, which LWO2, LWOB and LWLO share.
#include "standin/lwo_reader.h"

#include <cmath>
#include <cstring>
#include <unordered_map>

#include "standin/mesh_formats.h"

namespace standin::iff {

bool LwoReader::read(std::shared_ptr<const uint8_t[]> owned) {
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
    // The polygons are read from the file's bytes in place: the mesh keeps them.
    if (!owned) {
        std::shared_ptr<uint8_t[]> copy(new uint8_t[size]);
        std::memcpy(copy.get(), data, size);
        owned = std::move(copy);
    }
    mesh.bytes = std::move(owned);
    mesh.byteCount = size;
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
        if (id == id4("SURF"))
            surf(c);
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
    if (id == id4("SURF"))
        surf(c);
    return true;
}

bool LwoReader::points(Cursor c, size_t header) {
    if (c.left() % 12 != 0)
        return cutShort(header, id4("PNTS"));
    MeshLayer &l = layer();
    pointsBase = l.pointCount;
    havePoints = true;
    // The points stay where the file holds them.
    const size_t count = c.left() / 12;
    if (count > 0)
        l.pointChunks.push_back({l.pointCount, c.pos});
    // A coordinate is not finite when its exponent bits, the low seven of
    // its first byte and the top one of its second, are all set: one pass
    // over the chunk's words tells whether any is, the walk below which.
    uint32_t exponent = 0;
    std::memcpy(&exponent, "\x7F\x80\0\0", 4);
    uint32_t nonFinite = 0;
    const uint8_t *const words = data + c.pos;
    for (size_t i = 0; i < 3 * count; ++i) {
        uint32_t word;
        std::memcpy(&word, words + 4 * i, 4);
        nonFinite |= uint32_t((word & exponent) == exponent);
    }
    while (nonFinite != 0 && c.left() > 0) {
        const size_t at = c.pos;
        if (!std::isfinite(c.f4()))
            return fail(at, "non-finite coordinate");
    }
    l.pointCount += count;
    return true;
}

// Checks `count` point indices (VX when `wide`, else two bytes) of the most
// recent PNTS chunk and steps over them; the mesh reads them in place.
bool LwoReader::indices(Cursor &c, size_t record, uint32_t count, bool wide, uint32_t chunk) {
    if (count > c.left() / 2)
        return fail(record, "vertex count " + std::to_string(count) + " more than the chunk holds");
    const size_t available = layer().pointCount - pointsBase;
    // A tight walk over the bytes; the cursor is set to where it ended.
    const uint8_t *p = c.data + c.pos;
    const uint8_t *const end = c.data + c.end;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t *at = p;
        uint32_t index;
        if (end - p < 2) {
            c.pos = size_t(at - c.data);
            return cutShort(c.pos, chunk);
        }
        if (!wide || p[0] != 0xFF) {
            index = (uint32_t(p[0]) << 8) | p[1];
            p += 2;
        } else {
            if (end - p < 4) {
                c.pos = size_t(at - c.data);
                return cutShort(c.pos, chunk);
            }
            index = (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
            p += 4;
        }
        if (index >= available) {
            c.pos = size_t(at - c.data);
            return fail(c.pos, "index " + std::to_string(index) + " past the " + std::to_string(available) + " points");
        }
    }
    c.pos = size_t(p - c.data);
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
    auto surfaceOf = [&](uint32_t tag) {
        if (tag == kNoSurface) {
            if (defaultSurface == kNoSurface)
                defaultSurface = named("Default");
            return defaultSurface;
        }
        uint32_t &s = byTag[tag];
        if (s == kNoSurface)
            s = named(tags[tag]);
        return s;
    };
    // In file order, so that the surfaces are numbered as they first appear.
    for (MeshLayer &l : mesh.layers)
        for (PolygonRun &run : l.runs) {
            if (run.coding != IndexCoding::Lwo2) {
                for (size_t k = 0; k < run.count; ++k) {
                    MeshPolygon &p = l.records[run.records + k];
                    p.surface = surfaceOf(p.surface);
                }
            } else if (run.surfaces.empty()) {
                run.surface = run.count > 0 ? surfaceOf(run.surface) : 0;
            } else {
                for (uint32_t &s : run.surfaces)
                    s = surfaceOf(s);
            }
        }
}

} // namespace standin::iff

namespace standin {

bool readLwo(const uint8_t *data, size_t size, std::shared_ptr<const uint8_t[]> owned, Mesh &mesh,
             std::string &reason) {
    iff::LwoReader reader(data, size, mesh, reason);
    return reader.read(std::move(owned));
}

} // namespace standin
