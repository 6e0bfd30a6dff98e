// A glTF document as a file: binary glTF (.glb) or JSON with its buffer
// embedded as a data URI (.gltf), told by the file's extension.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "standin/gltf/document.h"

namespace standin::gltf {

enum class FileKind { None, Binary, Text };

// The kind a path's extension asks for: ".glb" Binary, ".gltf" Text (any
// case), anything else None.
FileKind fileKindOf(const std::string &path);

// Writes the document as the whole file at `path` (of a kind other than
// None), safely: see platform/safe_file.h.  False with the system's reason.  The
// buffer goes out in one block, never copied into the JSON or a stream
// (a .gltf's data URI is its base64 text).
bool writeGltfFile(const std::string &path, const Document &document, std::string &why);

// The pieces' bytes, one after another, in standard base64 ('+', '/', '='
// padding), without line breaks.
std::string base64Text(const std::vector<std::string_view> &pieces);

// A binary glTF file as pieces: its header, JSON chunk and binary chunk's
// header held here, the buffer's blocks viewed in the document, which must
// outlive it.  Not to be copied or moved once made (the pieces view it).
struct GlbLayout {
    std::string head, json, binaryHead;
    std::vector<std::string_view> pieces; // the whole file, in order
    size_t size = 0;                      // the sum of the pieces' sizes
    GlbLayout() = default;
    GlbLayout(const GlbLayout &) = delete;
    GlbLayout &operator=(const GlbLayout &) = delete;
};

// Lays the document out as the .glb file writeGltfFile writes.  False with
// the reason when it is larger than a .glb can say (4 GiB).
bool glbLayout(const Document &document, GlbLayout &glb, std::string &why);

} // namespace standin::gltf
