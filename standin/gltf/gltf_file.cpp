// The GLB container and the data-URI form.
#include "standin/gltf/gltf_file.h"

#include <cassert>
#include <cctype>
#include <cstdint>

#include "standin/platform/safe_file.h"

namespace standin::gltf {

namespace {

bool endsWith(const std::string &path, const char *end) {
    const std::string tail(end);
    if (path.size() < tail.size())
        return false;
    for (size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(path[path.size() - tail.size() + i])) != tail[i])
            return false;
    return true;
}

void putWord(std::string &out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string base64(const std::string &bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text((bytes.size() + 2) / 3 * 4, '=');
    size_t out = 0, i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v =
            uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 | uint8_t(bytes[i + 2]);
        text[out++] = kDigits[v >> 18];
        text[out++] = kDigits[(v >> 12) & 63];
        text[out++] = kDigits[(v >> 6) & 63];
        text[out++] = kDigits[v & 63];
    }
    if (i < bytes.size()) {
        const uint32_t v =
            uint32_t(uint8_t(bytes[i])) << 16 | (i + 1 < bytes.size() ? uint32_t(uint8_t(bytes[i + 1])) << 8 : 0);
        text[out++] = kDigits[v >> 18];
        text[out++] = kDigits[(v >> 12) & 63];
        if (i + 1 < bytes.size())
            text[out] = kDigits[(v >> 6) & 63];
    }
    return text;
}

} // namespace

FileKind fileKindOf(const std::string &path) {
    if (endsWith(path, ".glb"))
        return FileKind::Binary;
    if (endsWith(path, ".gltf"))
        return FileKind::Text;
    return FileKind::None;
}

bool writeGltfFile(const std::string &path, const Document &document, std::string &why) {
    const FileKind kind = fileKindOf(path);
    assert(kind != FileKind::None);
    const std::vector<std::string_view> pieces = bufferPieces(document);
    if (kind == FileKind::Text) {
        std::string bytes;
        for (std::string_view piece : pieces)
            bytes += piece;
        const std::string uri = bytes.empty() ? std::string() : "data:application/octet-stream;base64," + base64(bytes);
        return platform::writeFileSafely(path, {gltfJson(document, uri), "\n"}, why);
    }
    // GLB: a header, the JSON chunk padded with blanks, then the binary
    // chunk padded with zeros, every length a multiple of 4.
    std::string json = gltfJson(document, {});
    json.append((4 - json.size() % 4) % 4, ' ');
    const size_t binary = bufferLength(document); // a multiple of 4
    const size_t total = 12 + 8 + json.size() + (binary > 0 ? 8 + binary : 0);
    if (total > 0xFFFFFFFFu) {
        why = "larger than the 4 GiB a binary glTF file can hold";
        return false;
    }
    std::string head;
    putWord(head, 0x46546C67u); // "glTF"
    putWord(head, 2);
    putWord(head, uint32_t(total));
    putWord(head, uint32_t(json.size()));
    putWord(head, 0x4E4F534Au); // "JSON"
    std::string binaryHead;
    if (binary > 0) {
        putWord(binaryHead, uint32_t(binary));
        putWord(binaryHead, 0x004E4942u); // "BIN\0"
    }
    std::vector<std::string_view> all = {head, json, binaryHead};
    all.insert(all.end(), pieces.begin(), pieces.end());
    return platform::writeFileSafely(path, all, why);
}

} // namespace standin::gltf
