// A glTF document as a file: binary glTF (.glb) or JSON with its buffer
// embedded as a data URI (.gltf), told by the file's extension.
#pragma once

#include <string>

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

} // namespace standin::gltf
