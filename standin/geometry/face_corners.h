// What the two ways of cutting a face share: the corners of a face
// projected onto its plane (TriangulationScratch::u, v), and the triangles
// written out.
#pragma once

#include <cstdint>

#include "standin/geometry/triangulate.h"

namespace standin::geometry::faces {

// Writes triangle a b c at `out` and moves past it.
inline void put(uint32_t *&out, uint32_t a, uint32_t b, uint32_t c) {
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out += 3;
}

// Twice the signed area of the projected triangle a b c: positive when it
// turns the way the face does.
inline double turn(const TriangulationScratch &s, uint32_t a, uint32_t b, uint32_t c) {
    const double ua = s.u[a], va = s.v[a];
    return (s.u[b] - ua) * (s.v[c] - va) - (s.v[b] - va) * (s.u[c] - ua);
}

inline bool samePlace(const TriangulationScratch &s, uint32_t a, uint32_t b) {
    return s.u[a] == s.u[b] && s.v[a] == s.v[b];
}

// Cuts a face of more than 256 corners (`face`, `n` of them, projected into
// s.u and s.v and ringed in s.prev and s.next) into triangles at `out`,
// moving `out` past them: ears from a queue, tested against a search tree
// of the corners that were not convex at the start, in near-linear time;
// past a bound of steps the rest is a fan.
void clipLargeFace(const uint32_t *face, uint32_t n, uint32_t *&out, TriangulationScratch &s);

} // namespace standin::geometry::faces
