// Model file reading: the format is told by the content, never by the name.
#include "standin/mesh_formats.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace standin {

bool readMeshBytes(const uint8_t *data, size_t size, Mesh &mesh, std::string &reason) {
    mesh = Mesh{};
    bool ok;
    if (size == 0) {
        reason = "byte 0: empty file";
        ok = false;
    } else if (size >= 4 && std::memcmp(data, "FORM", 4) == 0) {
        ok = readLwo(data, size, mesh, reason);
    } else if (looksLikeObj(data, size)) {
        ok = readObj(data, size, mesh, reason);
    } else {
        reason = "byte 0: not a model file of a known format";
        ok = false;
    }
    if (!ok)
        mesh = Mesh{};
    return ok;
}

bool readMesh(const std::string &path, Mesh &mesh, std::string &reason) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        mesh = Mesh{};
        reason = "cannot be read";
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        mesh = Mesh{};
        reason = "cannot be read";
        return false;
    }
    return readMeshBytes(bytes.data(), bytes.size(), mesh, reason);
}

} // namespace standin
