// Hostile IFF object files (LWO2, LWOB, LWLO) for the model reader.  Inputs
// that do not start with "FORM" get it put in front, so every run reaches
// the IFF walker rather than the format test.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/mesh_check.h"
#include "standin/readers/read_mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<uint8_t> bytes;
    if (size < 4 || std::memcmp(data, "FORM", 4) != 0) {
        bytes.assign({'F', 'O', 'R', 'M'});
        bytes.insert(bytes.end(), data, data + size);
        data = bytes.data();
        size = bytes.size();
    }
    standin::Mesh mesh;
    std::string reason;
    const bool read = standin::readMeshBytes(data, size, mesh, reason);
    testsupport::requireSoundMesh(read, mesh, reason);
    return 0;
}
