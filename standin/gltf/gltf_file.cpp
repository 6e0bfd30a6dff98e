// The GLB container and the data-URI form.
#include "standin/gltf/gltf_file.h"

#include <cassert>
#include <cstdint>

#include "standin/platform/safe_file.h"
#include "standin/text/extension.h"

namespace standin::gltf {

namespace {

void putWord(std::string &out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

std::string base64Text(const std::vector<std::string_view> &pieces) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    size_t size = 0;
    for (std::string_view piece : pieces)
        size += piece.size();
    std::string text;
    text.reserve((size + 2) / 3 * 4);
    // Three bytes at a time across the pieces' ends, then the last one or
    // two padded with '='.
    uint32_t group = 0;
    int held = 0;
    for (std::string_view piece : pieces)
        for (char c : piece) {
            group = group << 8 | uint8_t(c);
            if (++held < 3)
                continue;
            for (int shift = 18; shift >= 0; shift -= 6)
                text += kDigits[(group >> shift) & 63];
            group = 0;
            held = 0;
        }
    if (held > 0) {
        group <<= 8 * (3 - held);
        for (int digit = 0; digit < 4; ++digit)
            text += digit <= held ? kDigits[(group >> (18 - 6 * digit)) & 63] : '=';
    }
    return text;
}

FileKind fileKindOf(const std::string &path) {
    if (endsInExtension(path, ".glb"))
        return FileKind::Binary;
    if (endsInExtension(path, ".gltf"))
        return FileKind::Text;
    return FileKind::None;
}

bool writeGltfFile(const std::string &path, const Document &document, std::string &why) {
    const FileKind kind = fileKindOf(path);
    assert(kind != FileKind::None);
    if (kind == FileKind::Text) {
        const std::string uri = bufferLength(document) == 0
            ? std::string()
            : "data:application/octet-stream;base64," + base64Text(bufferPieces(document));
        return platform::writeFileSafely(path, {gltfJson(document, uri), "\n"}, why);
    }
    GlbLayout glb;
    return glbLayout(document, glb, why) && platform::writeFileSafely(path, glb.pieces, why);
}

bool glbLayout(const Document &document, GlbLayout &glb, std::string &why) {
    // A header, the JSON chunk padded with blanks, then the binary chunk
    // padded with zeros, every length a multiple of 4.
    glb.json = gltfJson(document, {});
    glb.json.append((4 - glb.json.size() % 4) % 4, ' ');
    const size_t binary = bufferLength(document); // a multiple of 4
    const size_t total = 12 + 8 + glb.json.size() + (binary > 0 ? 8 + binary : 0);
    if (total > 0xFFFFFFFFu) {
        why = "larger than the 4 GiB a binary glTF file can hold";
        return false;
    }
    glb.head.clear();
    putWord(glb.head, 0x46546C67u); // "glTF"
    putWord(glb.head, 2);
    putWord(glb.head, uint32_t(total));
    putWord(glb.head, uint32_t(glb.json.size()));
    putWord(glb.head, 0x4E4F534Au); // "JSON"
    glb.binaryHead.clear();
    if (binary > 0) {
        putWord(glb.binaryHead, uint32_t(binary));
        putWord(glb.binaryHead, 0x004E4942u); // "BIN\0"
    }
    glb.pieces = {glb.head, glb.json, glb.binaryHead};
    const std::vector<std::string_view> buffer = bufferPieces(document);
    glb.pieces.insert(glb.pieces.end(), buffer.begin(), buffer.end());
    glb.size = total;
    return true;
}

} // namespace standin::gltf
