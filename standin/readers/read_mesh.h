// Reading a model file into a mesh, whatever its format.
#pragma once

#include "standin/mesh/mesh.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace standin {

// Reads a model file, telling its format by content.  On failure returns
// false and sets `reason` to one line, without the file name: where the
// file went wrong (byte offset or line) and why, or why it is no model file
// at all (a folder, a device, a file that cannot be read) or could not be
// read whole ("not enough memory to read it").  The format is told from the
// first bytes, so a file of no known format is refused without reading the
// rest; a FIFO without a writer reads as empty.
bool readMesh(const std::string &path, Mesh &mesh, std::string &reason);

// The same for bytes already in memory (an IFF file's bytes are copied, as
// the mesh keeps them).
bool readMeshBytes(const uint8_t *data, size_t size, Mesh &mesh, std::string &reason);

} // namespace standin
