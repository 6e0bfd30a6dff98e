// The model file readers behind readMeshBytes, one per family of formats.
// Each fills `mesh` from the whole file in memory or returns false with a
// one-line reason that starts with "byte N: " or "line N: ".
#pragma once

#include "standin/mesh.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace standin {

// An IFF file: FORM LWO2, FORM LWOB or FORM LWLO.  The caller has checked
// that the data starts with "FORM".
bool readLwo(const uint8_t *data, size_t size, Mesh &mesh, std::string &reason);

// A Wavefront OBJ text file.
bool readObj(const uint8_t *data, size_t size, Mesh &mesh, std::string &reason);

// True when the text looks like OBJ: its first line that is neither blank nor
// a comment begins with a known OBJ statement.
bool looksLikeObj(const uint8_t *data, size_t size);

} // namespace standin
