// The walk over one run of polygons, in whichever coding the run holds
// them: what the mesh edit's scan and the mesh's own decoding share.
#pragma once

#include "standin/mesh/mesh.h"
#include "standin/mesh/iff_bytes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace standin {

// What a walk over a run tells of each polygon besides its indices.
struct PolygonHead {
    const void *id = nullptr; // its record or its bytes: unique within the mesh
    uint32_t surface = 0;
    bool startControl = false;
    bool endControl = false;
};

// Walks the polygons of run `run` of `layer` in order, the run's coding
// being `Coding`.  It calls `visit.reserve(n)`, with `n` at least the
// number of indices of every polygon up to the next call (before each
// polygon in memory, once before a file's run), then for each polygon
// `visit.index(i)` for each index in order (already counted within the
// layer) and `visit.polygon(head, count)`, which answers false to stop the
// walk.  Returns false when stopped.
//
// The readers checked every count and index when they read the file.  A
// large file's bytes are its mapped pages, though, which another program
// may write to while the mesh reads them: so the walk never leaves the
// run's chunk, every index it gives is one of the points the reader checked
// it against, and it ends early where the chunk's bytes run out, whatever
// the bytes have become.
template <IndexCoding Coding, typename Visit>
inline bool walkRunOf(const Mesh &mesh, const MeshLayer &layer, const PolygonRun &run, Visit &&visit) {
    const uint32_t add = run.indexOffset;
    PolygonHead head;
    if constexpr (Coding == IndexCoding::InMemory) {
        for (size_t k = 0; k < run.count; ++k) {
            const MeshPolygon &record = layer.records[run.records + k];
            const uint32_t *p = mesh.indices.data() + record.at;
            const uint32_t count = p[0];
            visit.reserve(count);
            for (uint32_t i = 1; i <= count; ++i)
                visit.index(p[i] + add);
            head.id = &record;
            head.surface = record.surface;
            head.startControl = record.startControl != 0;
            head.endControl = record.endControl != 0;
            if (!visit.polygon(head, count))
                return false;
        }
        return true;
    } else {
        const uint8_t *const bytes = mesh.bytes.get();
        const uint8_t *const end = bytes + run.end;
        const uint32_t last = run.checkedPointCount > 0 ? run.checkedPointCount - 1 : 0;
        auto clamped = [last](uint32_t index) { return index < last ? index : last; };
        const bool curve = run.type == kCurve;
        const uint32_t *const surfaces = run.surfaces.empty() ? nullptr : run.surfaces.data();
        const uint32_t surface = run.surface;
        const size_t polygons = run.count;
        const uint8_t *p = bytes + run.base;
        visit.reserve(kMostCodedIndices);
        for (size_t k = 0; k < polygons; ++k) {
            if constexpr (Coding == IndexCoding::Lwob) {
                const MeshPolygon &record = layer.records[run.records + k];
                p = bytes + run.base + record.at;
                head.id = &record;
                head.surface = record.surface;
                head.startControl = record.startControl != 0;
                head.endControl = record.endControl != 0;
            } else {
                head.id = p;
            }
            if (end - p < 2)
                return true;
            uint32_t count = (uint32_t(p[0]) << 8) | p[1];
            p += 2;
            if constexpr (Coding == IndexCoding::Lwo2) {
                head.surface = surfaces ? surfaces[k] : surface;
                head.startControl = curve && (count & 0x0400u) != 0;
                head.endControl = curve && (count & 0x0800u) != 0;
                count = lwo2IndexCount(count, curve);
            }
            uint32_t given = 0;
            if (run.checkedPointCount == 0) {
                // No points to name (every count the reader saw was 0): the
                // indices are stepped over, none given.
                p += std::min<size_t>(size_t(end - p), 2 * size_t(count));
            } else if constexpr (Coding == IndexCoding::Lwob) {
                given = std::min<uint32_t>(count, uint32_t(size_t(end - p) / 2));
                for (uint32_t i = 0; i < given; ++i, p += 2)
                    visit.index(clamped((uint32_t(p[0]) << 8) | p[1]) + add);
            } else if (size_t(end - p) >= 4 * size_t(count)) {
                // Room for `count` indices of any width: the i-th starts at
                // most 4i bytes in, so four bytes can be read at each.
                for (; given < count; ++given)
                    visit.index(clamped(takeVx(p)) + add);
            } else {
                // Near the chunk's end: each index checked to lie within it.
                for (; given < count && end - p >= 2; ++given) {
                    if (p[0] != 0xFF) {
                        visit.index(clamped((uint32_t(p[0]) << 8) | p[1]) + add);
                        p += 2;
                    } else if (end - p >= 4) {
                        visit.index(clamped((uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]) + add);
                        p += 4;
                    } else {
                        p = end;
                        break;
                    }
                }
            }
            if (!visit.polygon(head, given))
                return false;
        }
        return true;
    }
}

// walkRunOf for a run of any coding.
template <typename Visit>
inline bool walkRun(const Mesh &mesh, const MeshLayer &layer, const PolygonRun &run, Visit &&visit) {
    switch (run.coding) {
    case IndexCoding::Lwo2: return walkRunOf<IndexCoding::Lwo2>(mesh, layer, run, visit);
    case IndexCoding::Lwob: return walkRunOf<IndexCoding::Lwob>(mesh, layer, run, visit);
    case IndexCoding::InMemory: break;
    }
    return walkRunOf<IndexCoding::InMemory>(mesh, layer, run, visit);
}

} // namespace standin
