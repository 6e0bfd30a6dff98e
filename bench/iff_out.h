// Big-endian IFF bytes written in place for the benchmarks' generated model
// files: a chunk is opened with a zero size and closed once its body is
// written, so no body is ever copied (the files reach hundreds of MB).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace spindlebench {

struct IffOut {
    std::string b;
    void u1(uint8_t v) { b.push_back(char(v)); }
    void u2(uint32_t v) {
        u1(uint8_t(v >> 8));
        u1(uint8_t(v));
    }
    void u4(uint32_t v) {
        u2(v >> 16);
        u2(v & 0xFFFF);
    }
    void f4(float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        u4(v);
    }
    void id(const char *s) { b.append(s, 4); }
    void vx(uint32_t v) { v < 0xFF00 ? u2(v) : u4(v | 0xFF000000u); }
    // Starts a chunk; `close` fills in its size and pads it.
    size_t open(const char *name) {
        id(name);
        u4(0);
        return b.size();
    }
    void close(size_t body) {
        const uint32_t n = uint32_t(b.size() - body);
        for (int i = 0; i < 4; ++i)
            b[body - 4 + i] = char(n >> (24 - 8 * i));
        if (n % 2)
            u1(0);
    }
};

} // namespace spindlebench
