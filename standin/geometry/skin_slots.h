// A vertex's four joints and weights for glTF's JOINTS_0 and WEIGHTS_0, as
// every way of weighting the bones writes them.
#pragma once

#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace standin::geometry {

// Four joints and weights per vertex, ready for JOINTS_0 and WEIGHTS_0.
struct SkinWeights {
    // Four joint numbers per vertex: one byte each when every joint number
    // is below 256 (then `joints16` is empty), else two (`joints8` empty).
    std::vector<uint8_t> joints8;
    std::vector<uint16_t> joints16;
    // Four weights per vertex, heaviest first, summing to 1 as floats; a
    // slot of weight 0 (fewer than four bones, or a bone too light for a
    // float) has joint 0.
    std::vector<float> weights;
};

// One bone's share of a vertex: its joint, and its weight on any scale.
struct SkinSlot {
    uint16_t joint = 0;
    double weight = 0;
};

// Writes vertex `v`'s four slots of `out` (sized for it) from `count` (1 to
// 4) slots, heaviest first, each weight finite and not negative, the first
// above 0.  The weights are scaled to sum to 1 and rounded to floats, and
// the first then takes what the others leave, so that the four sum to 1 as
// glTF readers add them.  A slot whose float weight is 0 (past `count`, or
// a weight too small for a float) gets joint 0: glTF's validator warns of
// a joint named with weight 0 (ACCESSOR_JOINTS_USED_ZERO_WEIGHT).
inline void putSkinSlots(const SkinSlot *slots, uint32_t count, size_t v, SkinWeights &out) {
    assert(count >= 1 && count <= 4 && 4 * v + 3 < out.weights.size());
    double sum = 0;
    for (uint32_t i = 0; i < count; ++i) {
        assert(slots[i].weight >= 0 && (i == 0 || slots[i].weight <= slots[i - 1].weight));
        sum += slots[i].weight;
    }
    float f[4] = {0, 0, 0, 0};
    if (sum > 0 && std::isfinite(sum)) {
        for (uint32_t i = 0; i < count; ++i)
            f[i] = float(slots[i].weight / sum);
    } else {
        assert(false && "weights that do not sum to a positive number");
        count = 1; // the first bone alone
    }
    // Rounded to floats, the heaviest takes what the others leave.
    f[0] = 1.0f - (f[1] + f[2] + f[3]);
    for (uint32_t i = 0; i < 4; ++i) {
        const uint16_t joint = i < count && f[i] != 0 ? slots[i].joint : 0;
        if (!out.joints8.empty())
            out.joints8[4 * v + i] = uint8_t(joint);
        else
            out.joints16[4 * v + i] = joint;
        out.weights[4 * v + i] = f[i];
    }
}

// Vertex `v`'s joint in slot `slot` (0 to 3) of `w`, whichever width its
// joints are held in.
inline uint16_t skinJoint(const SkinWeights &w, size_t v, size_t slot) {
    assert(slot < 4);
    return w.joints8.empty() ? w.joints16[4 * v + slot] : uint16_t(w.joints8[4 * v + slot]);
}

// Copies vertex `from`'s four slots of `source` to vertex `to` of `out`;
// both hold joints of the same width.
inline void copySkinSlots(const SkinWeights &source, size_t from, SkinWeights &out, size_t to) {
    assert(source.joints8.empty() == out.joints8.empty());
    for (size_t i = 0; i < 4; ++i) {
        if (!out.joints8.empty())
            out.joints8[4 * to + i] = source.joints8[4 * from + i];
        else
            out.joints16[4 * to + i] = source.joints16[4 * from + i];
        out.weights[4 * to + i] = source.weights[4 * from + i];
    }
}

} // namespace standin::geometry
