// Hand-made model files for the readers' tests: the IFF builder, and a
// read of bytes held in a string.
#pragma once

#include "standin/mesh/mesh.h"
#include "standin/readers/read_mesh.h"
#include "support/iff_builder.h"

#include <cstdint>
#include <string>

namespace readertest {

using Bytes = testsupport::IffBytes;
using testsupport::form;

inline bool readString(const std::string &bytes, standin::Mesh &mesh, std::string &reason) {
    return standin::readMeshBytes(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), mesh, reason);
}

using standin::kCurve;
using standin::kFace;
constexpr uint32_t kPtch = 0x50544348u;

} // namespace readertest
