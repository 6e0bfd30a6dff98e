// The IFF model reader's shared pieces: the byte cursor and the reader
// whose chunk handlers live in lwo.cpp (the FORM and what every IFF
// model has), lwo2.cpp (LWO2) and lwob.cpp (LWOB and LWLO).
//
// Every read is checked against what is left of the current chunk (never by
// adding to a position), and nothing is reserved from a count the file claims
// before the bytes that would hold it are known to be there.
#pragma once

#include <cstdint>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "standin/mesh/mesh.h"
#include "standin/mesh/iff_bytes.h"

namespace standin::iff {

constexpr uint32_t id4(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
        uint32_t(uint8_t(s[3]));
}

// A polygon's surface while it has none yet (surfaces have 30 bits).
constexpr uint32_t kNoSurface = (1u << 30) - 1;

// An ID as it may appear in a reason: printable ASCII kept, the rest '?'.
inline std::string idText(uint32_t id) {
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
        uint32_t v = bigEndian32(data + pos);
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

    LwoReader(const uint8_t *d, size_t n, Mesh &m, std::string &r) : data(d), size(n), mesh(m), reason(r) {}

    uint32_t form = 0;
    std::vector<std::string> tags; // LWO2 TAGS, or LWOB SRFS
    int current = -1;              // index into mesh.layers
    size_t pointsBase = 0;         // first point of the most recent PNTS, within its layer
    bool havePoints = false;       // the current layer has had a PNTS
    // The run of the most recent POLS of the current layer, which a PTAG
    // gives surfaces to; none (and no polygons to tag) until the first.
    size_t latestRun = SIZE_MAX;

    bool fail(size_t offset, const std::string &what) {
        reason = "byte " + std::to_string(offset) + ": " + what;
        return false;
    }
    bool cutShort(size_t offset, uint32_t chunk) { return fail(offset, idText(chunk) + " chunk cut short"); }

    MeshLayer &layer() {
        if (current < 0)
            startLayer(1, std::string());
        return mesh.layers[size_t(current)];
    }
    void startLayer(int32_t number, std::string name) {
        MeshLayer l;
        l.number = number;
        l.name = std::move(name);
        l.firstPoint = mesh.pointCount();
        mesh.layers.push_back(std::move(l));
        current = int(mesh.layers.size()) - 1;
        pointsBase = 0;
        havePoints = false;
        latestRun = SIZE_MAX;
    }

    // Starts a run of polygons read in place from the chunk body from
    // `base` to `end`, indices counted from the most recent PNTS; its
    // polygons (and LWOB's records) are counted as they are read.
    void startRun(uint32_t type, IndexCoding coding, size_t base, size_t end) {
        MeshLayer &l = layer();
        PolygonRun run;
        run.type = type;
        run.coding = coding;
        run.first = l.polygonCount();
        run.records = l.records.size();
        run.surface = kNoSurface;
        run.base = base;
        run.end = end;
        run.indexOffset = uint32_t(pointsBase);
        run.checkedPointCount = uint32_t(l.pointCount - pointsBase);
        l.runs.push_back(run);
    }

    bool read(std::shared_ptr<const uint8_t[]> owned);
    bool chunk(uint32_t id, Cursor c, size_t header);
    bool points(Cursor c, size_t header);
    bool layr2(Cursor c, size_t header);
    bool layrLwlo(Cursor c, size_t header);
    bool pols2(Cursor c, size_t header);
    bool ptag(Cursor c, size_t header);
    void spreadSurfaces(PolygonRun &run, size_t tagged, uint32_t tag);
    bool polsOld(Cursor c, bool curves);
    bool polygonOld(Cursor &c, bool curve, bool detail, uint32_t &details);
    bool indices(Cursor &c, size_t record, uint32_t count, bool wide, uint32_t chunk);
    void surf(Cursor c);
    void finish();
};

} // namespace standin::iff
