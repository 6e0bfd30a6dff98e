// Curve collection: the polygon-scan callback, the curve table and the
// curve's own operations.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>

#include "module/model/model.h"
#include "module/services/services.h"

namespace spindle {

bool (*failAllocation)(std::size_t bytes) = nullptr;

namespace {

// One heap array of `count` default-constructed records, or null when memory
// is short (or the test seam says it is).
template <class T>
T *allocateArray(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T))
        return nullptr;
    if (failAllocation != nullptr && failAllocation(count * sizeof(T)))
        return nullptr;
    return new (std::nothrow) T[count];
}

// Copies the surface name, cut to kNameSize − 1 bytes when longer; the cut
// moves back to the start of a UTF-8 character it would split.
void copySurfaceName(char (&name)[kNameSize], const char *surface) {
    std::size_t n = 0;
    if (surface != nullptr)
        while (n < kNameSize && surface[n] != '\0')
            ++n;
    if (n == kNameSize) {
        n = kNameSize - 1;
        // surface[n] is the first byte left out; a continuation byte there
        // means the cut splits a character (at most three steps back).
        for (int back = 0; back < 3 && n > 0 && (static_cast<unsigned char>(surface[n]) & 0xC0) == 0x80; ++back)
            --n;
    }
    if (n > 0)
        std::memcpy(name, surface, n);
    name[n] = '\0';
}

enum class Closed { No, Yes, NoMemory };

// Whether the point list holds one point id twice.  Short lists compare
// every pair; longer ones sort a copy of the ids and compare neighbours.
Closed passesAPointTwice(const PointId *points, int32_t count) {
    constexpr int32_t kPairwiseLimit = 32;
    if (count <= kPairwiseLimit) {
        for (int32_t i = 0; i < count; ++i)
            for (int32_t j = i + 1; j < count; ++j)
                if (points[i] == points[j])
                    return Closed::Yes;
        return Closed::No;
    }
    PointId *sorted = allocateArray<PointId>(static_cast<std::size_t>(count));
    if (sorted == nullptr)
        return Closed::NoMemory;
    for (int32_t i = 0; i < count; ++i)
        sorted[i] = points[i];
    std::sort(sorted, sorted + count, std::less<PointId>());
    const bool twice = std::adjacent_find(sorted, sorted + count) != sorted + count;
    delete[] sorted;
    return twice ? Closed::Yes : Closed::No;
}

} // namespace

FillResult Curve::fill(const PolygonInfo &from) {
    polygon = from;
    copySurfaceName(name, from.surface);
    release();
    segmentCount = from.numPoints > 1 ? from.numPoints - 1 : 0;
    noGoal = 0;
    if (segmentCount == 0)
        return FillResult::Filled;

    segments = allocateArray<BoneSegment>(static_cast<std::size_t>(segmentCount));
    if (segments == nullptr) {
        segmentCount = 0;
        return FillResult::NoMemory;
    }
    FillResult result = FillResult::Filled;
    for (int32_t i = 0; i < segmentCount; ++i) {
        BoneSegment &s = segments[i];
        if (s.setFromPoints(from.points[i], from.points[i + 1]) == nullptr) {
            result = FillResult::UnreadablePoint;
            break;
        }
        s.curve = this;
        if (s.length == 0.0) {
            result = FillResult::ZeroLength;
            break;
        }
    }
    if (result != FillResult::Filled) {
        release();
        segmentCount = 0;
    }
    return result;
}

void Curve::applyNoGoalSuffix() {
    const std::size_t n = std::strlen(name);
    if (n > 3 && std::memcmp(name + n - 3, "_NG", 3) == 0) {
        name[n - 3] = '\0';
        noGoal = 1;
    } else {
        noGoal = 0;
    }
}

void Curve::release() {
    delete[] segments;
    segments = nullptr;
}

void CurveTable::release() {
    for (Curve &curve : curves)
        curve.release();
}

int32_t collectCurve(void *userData, const PolygonInfo *polygon) {
    CurveTable &table = *static_cast<CurveTable *>(userData);
    const PolygonInfo &p = *polygon;

    // Not a usable curve: passed over without a word.
    if (p.type != HOST_POLY_CURVE || (p.flags & HOST_POLY_SELECTED) == 0)
        return 0;
    if (p.numPoints < 2 || p.points == nullptr)
        return 0;
    if ((p.flags & HOST_POLY_START_CONTROL) != 0 && p.numPoints == 2)
        return 0;

    char text[160];
    if (p.numPoints > kLongCurvePoints) {
        std::snprintf(text, sizeof text, "Number of bone (one curve included) is over %d. ", kLongCurvePoints);
        showError(text);
    }

    switch (passesAPointTwice(p.points, p.numPoints)) {
    case Closed::No: break;
    case Closed::Yes: showError("Don't use the closed curve."); return HOST_SCAN_STOP;
    case Closed::NoMemory: showError("Not enough memory."); return HOST_SCAN_STOP;
    }

    if (table.count == kMaxCurves) {
        std::snprintf(text, sizeof text, "Number of curve is over %d.", kMaxCurves);
        showError(text);
        return HOST_SCAN_STOP;
    }

    Curve &curve = table.curves[table.count];
    ++table.count;
    const FillResult result = curve.fill(p);
    if (result == FillResult::Filled)
        return 0;

    // A curve that could not be filled is not kept in the table.
    --table.count;
    switch (result) {
    case FillResult::NoMemory: showError("Not enough memory."); break;
    case FillResult::UnreadablePoint: showError("Can't read a curve point."); break;
    case FillResult::ZeroLength:
        std::snprintf(text, sizeof text, "Zero-length bone in curve \"%s\".", curve.name);
        showError(text);
        break;
    case FillResult::Filled: break;
    }
    return HOST_SCAN_STOP;
}

} // namespace spindle
