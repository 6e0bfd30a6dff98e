// Large faces: the ears from a first-in-first-out queue, tested against the
// corner tree.
#include "standin/geometry/corner_tree.h"
#include "standin/geometry/face_corners.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <limits>

namespace standin::geometry::faces {
namespace {

// The queue of corners to test, first in first out, as a list through
// s.waitPrev and s.waitNext (kNone: not in it) from s.waitFirst to s.waitLast.
void enqueue(TriangulationScratch &s, uint32_t corner) {
    if (s.waitPrev[corner] != kNone || s.waitFirst == corner) {
        // Waiting already: moved to the back.
        if (s.waitLast == corner)
            return;
        (s.waitFirst == corner ? s.waitFirst : s.waitNext[s.waitPrev[corner]]) = s.waitNext[corner];
        s.waitPrev[s.waitNext[corner]] = s.waitPrev[corner];
    }
    s.waitPrev[corner] = s.waitLast;
    s.waitNext[corner] = kNone;
    (s.waitLast == kNone ? s.waitFirst : s.waitNext[s.waitLast]) = corner;
    s.waitLast = corner;
}

uint32_t dequeue(TriangulationScratch &s) {
    const uint32_t corner = s.waitFirst;
    s.waitFirst = s.waitNext[corner];
    (s.waitFirst == kNone ? s.waitLast : s.waitPrev[s.waitFirst]) = kNone;
    s.waitPrev[corner] = s.waitNext[corner] = kNone;
    return corner;
}

} // namespace

// Ear clipping of a large face, its corners projected into s.u and s.v and
// ringed in s.prev and s.next.  In a face that does not cross itself, a
// corner's triangle that holds any corner holds a reflex one (of those it
// holds, the one furthest from the side opposite the corner), and a cut
// makes no corner reflex (it narrows its neighbours' angles): so the ears
// are tested against the corners that were not convex at the start alone,
// which is all the tree holds, and cutting an ear changes whether a corner
// is an ear only for its two neighbours, which alone go back into the
// queue.  Only when the queue runs dry (a face that crosses itself) are all
// the corners left tested again.
void clipLargeFace(const uint32_t *face, uint32_t n, uint32_t *&out, TriangulationScratch &s) {
    buildTree(s, n);
    s.waitPrev.assign(n, kNone);
    s.waitNext.resize(n);
    s.waitFirst = s.waitLast = kNone;
    for (uint32_t i = 0; i < n; ++i)
        enqueue(s, i);
    const auto cut = [&](uint32_t b) {
        const uint32_t a = s.prev[b], c = s.next[b];
        put(out, face[a], face[b], face[c]);
        s.next[a] = c;
        s.prev[c] = a;
        s.next[b] = kNone;
        takeOutOfTree(s, b);
        enqueue(s, a);
        enqueue(s, c);
    };
    uint32_t left = n, corner = 0; // `corner`: one not cut off, where a fan would start
    const uint64_t budget = kStepsPerCorner * uint64_t(n) * uint64_t(std::bit_width(n));
    uint64_t steps = 0;
    TreePath path;
    bool again = false; // the queue held every corner left, and none has been cut since
    while (left > 3 && steps <= budget) {
        if (s.waitFirst != kNone) {
            const uint32_t b = dequeue(s);
            if (s.next[b] == kNone)
                continue; // a flat corner cut off while it waited
            ++steps;
            if (isEarInTree(s, s.prev[b], b, s.next[b], path, steps)) {
                corner = s.next[b];
                cut(b);
                --left;
                again = false;
            }
            continue;
        }
        if (!again) {
            // Every corner left, once more, round the ring from `corner`.
            uint32_t b = corner;
            for (uint32_t k = 0; k < left; ++k, b = s.next[b])
                enqueue(s, b);
            steps += left;
            again = true;
            continue;
        }
        // No ear left: the corners in line with their neighbours are cut
        // off, in one round, and ears are looked for again.
        bool flat = false;
        uint32_t b = corner;
        for (uint32_t k = 0, round = left; k < round && left > 3; ++k) {
            const uint32_t c = s.next[b];
            if (turn(s, s.prev[b], b, c) == 0) {
                corner = c;
                cut(b);
                --left;
                flat = true;
            }
            b = c;
        }
        steps += left;
        if (!flat)
            break; // neither ears nor flat corners
        again = false;
    }
    // The last triangle, or the rest as a fan.
    for (uint32_t b = s.next[corner]; s.next[b] != corner; b = s.next[b])
        put(out, face[corner], face[b], face[s.next[b]]);
}

} // namespace standin::geometry::faces
