// The model file readers behind readMeshBytes, one per family of formats.
// Each fills `mesh` from the whole file in memory or returns false with a
// one-line reason that starts with "byte N: " or "line N: ".
#pragma once

#include "standin/mesh.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace standin {

// An IFF file: FORM LWO2, FORM LWOB or FORM LWLO.  The caller has checked
// that the data starts with "FORM".  The mesh reads its polygons from the
// file's bytes: `owned` holds the same bytes for the mesh to keep, or is
// null to have them copied.
bool readLwo(const uint8_t *data, size_t size, std::shared_ptr<const uint8_t[]> owned, Mesh &mesh, std::string &reason);

// A Wavefront OBJ text file.
bool readObj(const uint8_t *data, size_t size, Mesh &mesh, std::string &reason);

// Reads the colours (Kd) of the materials in the libraries that the OBJ
// read from `objPath` names (mesh.materialLibraries, relative to the OBJ's
// folder) into mesh.colours.  A library that is missing or unreadable, or
// a line it cannot make sense of, gives no colour and no error.
void readMaterialColours(const std::string &objPath, Mesh &mesh);

// Whether the text looks like OBJ: its first line that is neither blank nor
// a comment begins with a known OBJ statement.  `whole` says the bytes are
// the whole file; when they are only its start, the answer is Unsure while
// that first statement has not yet come to its end within them.
enum class Guess { No, Yes, Unsure };
Guess looksLikeObj(const uint8_t *data, size_t size, bool whole);

} // namespace standin
