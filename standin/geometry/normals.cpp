// Per-vertex normals: area-weighted sums of the triangles' normals.
#include "standin/geometry/normals.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace standin::geometry {

namespace {

// The sums of the normals of the triangles around each vertex, into `sum`
// (three per vertex, zero to start with), in float or in double.
template <typename Real, typename Index>
void sumNormals(const float *positions, size_t vertexCount, const Index *indices, size_t indexCount, Real *sum) {
    for (size_t t = 0; t < indexCount; t += 3) {
        const size_t a = indices[t], b = indices[t + 1], c = indices[t + 2];
        assert(a < vertexCount && b < vertexCount && c < vertexCount);
        (void)vertexCount;
        const float *pa = positions + 3 * a, *pb = positions + 3 * b, *pc = positions + 3 * c;
        const Real ux = Real(pb[0]) - pa[0], uy = Real(pb[1]) - pa[1], uz = Real(pb[2]) - pa[2];
        const Real vx = Real(pc[0]) - pa[0], vy = Real(pc[1]) - pa[1], vz = Real(pc[2]) - pa[2];
        const Real nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        for (size_t corner : {a, b, c}) {
            Real *n = sum + 3 * corner;
            n[0] += nx;
            n[1] += ny;
            n[2] += nz;
        }
    }
}

// The sum scaled to unit length, in double so that neither a tiny nor a
// huge sum loses its length; (0, 1, 0) for one that vanishes.
void putNormal(double x, double y, double z, float *n) {
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

} // namespace

template <typename Index>
void vertexNormals(const float *positions, size_t vertexCount, const Index *indices, size_t indexCount,
                   std::vector<float> &normals) {
    assert(indexCount % 3 == 0);
    normals.assign(3 * vertexCount, 0.0f);
    float *const sum = normals.data();
    sumNormals(positions, vertexCount, indices, indexCount, sum);
    if (std::all_of(normals.begin(), normals.end(), [](float x) { return std::isfinite(x); })) {
        for (size_t i = 0; i < vertexCount; ++i)
            putNormal(sum[3 * i], sum[3 * i + 1], sum[3 * i + 2], sum + 3 * i);
        return;
    }
    // Points so far apart (beyond about 1e19) that a float cannot hold the
    // sides' cross products: the sums again, in double, which can.
    std::vector<double> wide(3 * vertexCount, 0.0);
    sumNormals(positions, vertexCount, indices, indexCount, wide.data());
    for (size_t i = 0; i < vertexCount; ++i)
        putNormal(wide[3 * i], wide[3 * i + 1], wide[3 * i + 2], sum + 3 * i);
}

template void vertexNormals<uint16_t>(const float *, size_t, const uint16_t *, size_t, std::vector<float> &);
template void vertexNormals<uint32_t>(const float *, size_t, const uint32_t *, size_t, std::vector<float> &);

} // namespace standin::geometry
