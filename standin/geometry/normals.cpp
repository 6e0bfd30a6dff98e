// Per-vertex normals: area-weighted sums of the triangles' normals.
#include "standin/geometry/normals.h"

#include <cassert>
#include <cmath>

namespace standin::geometry {

template <typename Index>
void vertexNormals(const float *positions, size_t vertexCount, const Index *indices, size_t indexCount,
                   std::vector<float> &normals) {
    assert(indexCount % 3 == 0);
    normals.assign(3 * vertexCount, 0.0f);
    float *const sum = normals.data();
    for (size_t t = 0; t < indexCount; t += 3) {
        const size_t a = indices[t], b = indices[t + 1], c = indices[t + 2];
        assert(a < vertexCount && b < vertexCount && c < vertexCount);
        const float *pa = positions + 3 * a, *pb = positions + 3 * b, *pc = positions + 3 * c;
        const float ux = pb[0] - pa[0], uy = pb[1] - pa[1], uz = pb[2] - pa[2];
        const float vx = pc[0] - pa[0], vy = pc[1] - pa[1], vz = pc[2] - pa[2];
        const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        for (size_t corner : {a, b, c}) {
            float *n = sum + 3 * corner;
            n[0] += nx;
            n[1] += ny;
            n[2] += nz;
        }
    }
    for (size_t i = 0; i < vertexCount; ++i) {
        float *n = sum + 3 * i;
        // In double, so that neither a tiny nor a huge sum loses its length.
        const double x = n[0], y = n[1], z = n[2];
        const double length = std::sqrt(x * x + y * y + z * z);
        if (length > 0 && std::isfinite(length)) {
            n[0] = float(x / length);
            n[1] = float(y / length);
            n[2] = float(z / length);
        } else {
            n[0] = 0.0f;
            n[1] = 1.0f;
            n[2] = 0.0f;
        }
    }
}

template void vertexNormals<uint16_t>(const float *, size_t, const uint16_t *, size_t, std::vector<float> &);
template void vertexNormals<uint32_t>(const float *, size_t, const uint32_t *, size_t, std::vector<float> &);

} // namespace standin::geometry
