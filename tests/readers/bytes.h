// A small builder of big-endian IFF bytes for hand-made model files.
#pragma once

#include "standin/mesh/mesh.h"
#include "standin/readers/read_mesh.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

namespace readertest {

struct Bytes {
    std::string b;

    Bytes &id(const char (&s)[5]) {
        b.append(s, 4);
        return *this;
    }
    Bytes &u1(uint8_t v) {
        b.push_back(char(v));
        return *this;
    }
    Bytes &u2(uint16_t v) { return u1(uint8_t(v >> 8)).u1(uint8_t(v)); }
    Bytes &u4(uint32_t v) { return u2(uint16_t(v >> 16)).u2(uint16_t(v)); }
    Bytes &f4(float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        return u4(v);
    }
    Bytes &vx(uint32_t v) { return v < 0xFF00 ? u2(uint16_t(v)) : u4(v | 0xFF000000u); }
    Bytes &s0(const std::string &s) {
        b += s;
        b.push_back('\0');
        if ((s.size() + 1) % 2)
            b.push_back('\0');
        return *this;
    }
    Bytes &raw(const std::string &s) {
        b += s;
        return *this;
    }
    Bytes &points(std::initializer_list<float> xyz) {
        for (float f : xyz)
            f4(f);
        return *this;
    }
    // A chunk around `body`, with its pad byte when the body is odd.
    Bytes &chunk(const char (&name)[5], const Bytes &body) {
        id(name).u4(uint32_t(body.b.size())).raw(body.b);
        if (body.b.size() % 2)
            b.push_back('\0');
        return *this;
    }
    size_t size() const { return b.size(); }
};

// A whole FORM of the given type around the chunks in `body`.
inline std::string form(const char (&type)[5], const Bytes &body) {
    Bytes f;
    f.id("FORM").u4(uint32_t(body.b.size() + 4)).id(type).raw(body.b);
    return f.b;
}

inline bool readString(const std::string &bytes, standin::Mesh &mesh, std::string &reason) {
    return standin::readMeshBytes(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), mesh, reason);
}

using standin::kCurve;
using standin::kFace;
constexpr uint32_t kPtch = 0x50544348u;

} // namespace readertest
