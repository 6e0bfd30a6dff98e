// Decoding the bytes of an IFF model file that the mesh keeps and reads in
// place: big-endian words and floats, and LWO2's variable-length point indices.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace standin {

// The big-endian word at `p`, whose four bytes must be readable.
inline uint32_t bigEndian32(const uint8_t *p) {
    uint32_t w;
    std::memcpy(&w, p, 4);
    if constexpr (std::endian::native == std::endian::little)
        w = (w >> 24) | ((w >> 8) & 0xFF00u) | ((w << 8) & 0xFF0000u) | (w << 24);
    return w;
}

// The big-endian IEEE float at `p`, whose four bytes must be readable.
inline float floatAt(const uint8_t *p) {
    const uint32_t bits = bigEndian32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// The VX index at `p` (two bytes below 0xFF00, else four whose first is
// 0xFF), `p` moved past it; four bytes must be readable at `p`.
inline uint32_t takeVx(const uint8_t *&p) {
    const uint32_t w = bigEndian32(p);
    if ((w >> 24) != 0xFF) {
        p += 2;
        return w >> 16;
    }
    p += 4;
    return w & 0x00FFFFFFu;
}

// An LWO2 polygon's number of indices, from its count word: ten bits, and
// for curves the four high bits above the two control-point flags as bits
// 10-13.
inline uint32_t lwo2IndexCount(uint32_t word, bool curve) {
    return (word & 0x03FFu) | (curve ? (word & 0xF000u) >> 2 : 0u);
}

// The largest count a polygon's bytes can give (LWOB's two-byte count).
constexpr uint32_t kMostCodedIndices = 0xFFFF;

} // namespace standin
