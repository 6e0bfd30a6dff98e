// Big-endian IFF bytes for hand-made and generated model files, shared by
// the tests and the benchmarks.  A chunk is either built from a finished
// body (chunk), or opened with a zero size and closed once its body is
// written in place (open, close), so that no body is copied: the
// benchmarks' files reach hundreds of MB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

namespace testsupport {

struct IffBytes {
    std::string b;

    IffBytes &id(const char (&s)[5]) {
        b.append(s, 4);
        return *this;
    }
    IffBytes &u1(uint8_t v) {
        b.push_back(char(v));
        return *this;
    }
    IffBytes &u2(uint16_t v) { return u1(uint8_t(v >> 8)).u1(uint8_t(v)); }
    IffBytes &u4(uint32_t v) { return u2(uint16_t(v >> 16)).u2(uint16_t(v)); }
    IffBytes &f4(float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        return u4(v);
    }
    // A point index: two bytes below 0xFF00, else four with the top byte 0xFF.
    IffBytes &vx(uint32_t v) { return v < 0xFF00 ? u2(uint16_t(v)) : u4(v | 0xFF000000u); }
    // A string with its terminating zero, padded to an even length.
    IffBytes &s0(const std::string &s) {
        b += s;
        b.push_back('\0');
        if ((s.size() + 1) % 2)
            b.push_back('\0');
        return *this;
    }
    IffBytes &raw(const std::string &s) {
        b += s;
        return *this;
    }
    IffBytes &points(std::initializer_list<float> xyz) {
        for (float f : xyz)
            f4(f);
        return *this;
    }
    // A chunk around `body`, with its pad byte when the body is odd.
    IffBytes &chunk(const char (&name)[5], const IffBytes &body) {
        id(name).u4(uint32_t(body.b.size())).raw(body.b);
        if (body.b.size() % 2)
            b.push_back('\0');
        return *this;
    }
    // Starts a chunk in place; returns where its body starts, for close.
    size_t open(const char (&name)[5]) {
        id(name).u4(0);
        return b.size();
    }
    // Fills in the size of the chunk whose body starts at `body` (from open,
    // or 8 for a FORM begun with id("FORM").u4(0)) and pads it.
    void close(size_t body) {
        const uint32_t n = uint32_t(b.size() - body);
        for (int i = 0; i < 4; ++i)
            b[body - 4 + size_t(i)] = char(n >> (24 - 8 * i));
        if (n % 2)
            u1(0);
    }
    size_t size() const { return b.size(); }
};

// A whole FORM of the given type around the chunks in `body`.
inline std::string form(const char (&type)[5], const IffBytes &body) {
    IffBytes f;
    f.id("FORM").u4(uint32_t(body.b.size() + 4)).id(type).raw(body.b);
    return f.b;
}

} // namespace testsupport
