// Feeds arbitrary bytes to the model readers: they must load or refuse with
// one line, never crash, hang or run away with memory.
#include "standin/mesh.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    standin::Mesh mesh;
    std::string reason;
    if (standin::readMeshBytes(data, size, mesh, reason)) {
        for (const auto &layer : mesh.layers)
            for (const auto &p : layer.polygons) {
                if (p.surface >= mesh.surfaces.size())
                    std::abort();
                for (uint32_t index : p.points)
                    if (index >= layer.points.size())
                        std::abort();
            }
    } else if (reason.empty() || reason.find('\n') != std::string::npos ||
               !mesh.layers.empty()) {
        std::abort();
    }
    return 0;
}
