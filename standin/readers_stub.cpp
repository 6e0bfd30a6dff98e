// Placeholder until the model readers land.
#include "standin/mesh.h"
namespace standin {
bool readMesh(const std::string &, Mesh &, std::string &reason) { reason = "not implemented"; return false; }
bool readMeshBytes(const uint8_t *, size_t, Mesh &, std::string &reason) { reason = "not implemented"; return false; }
} // namespace standin
