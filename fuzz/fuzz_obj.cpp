// Hostile Wavefront OBJ text for the model reader.  Inputs that start with
// "FORM" belong to the IFF reader and are passed over.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/mesh_check.h"
#include "standin/readers/read_mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size >= 4 && std::memcmp(data, "FORM", 4) == 0)
        return -1; // not kept in the corpus
    standin::Mesh mesh;
    std::string reason;
    const bool read = standin::readMeshBytes(data, size, mesh, reason);
    testsupport::requireSoundMesh(read, mesh, reason);
    return 0;
}
