// The rotations and poses of the rig's nodes.  A bone's node takes its
// frame F (columns x, y, z; z along the bone) through the frame rule S into
// glTF: the node's +Y is S z (the bone's direction), its +Z is S y (the
// bone's up, which the bank turns), and its +X completes a right-handed
// set: S x when S mirrors z, -x when it does not.  A bone of negative
// length turns about its +Z so that +Y still points from base to tip.
#include "standin/gltf/bone_pose.h"

#include <cmath>

namespace standin::gltf {

// mᵀ v.
Vec3 rotateBack(const Rotation &m, const Vec3 &v) {
    Vec3 r;
    for (size_t i = 0; i < 3; ++i)
        r[i] = m[0][i] * v[0] + m[1][i] * v[1] + m[2][i] * v[2];
    return r;
}

// aᵀ b.
Rotation relative(const Rotation &a, const Rotation &b) {
    Rotation r;
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j)
            r[i][j] = a[0][i] * b[0][j] + a[1][i] * b[1][j] + a[2][i] * b[2][j];
    return r;
}

// The unit quaternion (x, y, z, w) of a rotation matrix.
std::array<double, 4> quaternion(const Rotation &m) {
    std::array<double, 4> q;
    const double trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0) {
        const double s = 2 * std::sqrt(trace + 1);
        q = {(m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s, s / 4};
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        const double s = 2 * std::sqrt(1 + m[0][0] - m[1][1] - m[2][2]);
        q = {s / 4, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s, (m[2][1] - m[1][2]) / s};
    } else if (m[1][1] > m[2][2]) {
        const double s = 2 * std::sqrt(1 + m[1][1] - m[0][0] - m[2][2]);
        q = {(m[0][1] + m[1][0]) / s, s / 4, (m[1][2] + m[2][1]) / s, (m[0][2] - m[2][0]) / s};
    } else {
        const double s = 2 * std::sqrt(1 + m[2][2] - m[0][0] - m[1][1]);
        q = {(m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, s / 4, (m[1][0] - m[0][1]) / s};
    }
    const double norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (double &v : q)
        v /= norm;
    if (q[3] < 0)
        for (double &v : q)
            v = -v;
    return q;
}

// The node's global rotation for a bone of frame `f` (rows; columns are
// the bone's axes), by the mapping above.
Rotation boneRotation(const Rotation &f, bool mirror, bool negative) {
    const double s = mirror ? -1 : 1; // the z factor of S
    const double xSign = (mirror ? 1 : -1) * (negative ? -1 : 1), ySign = negative ? -1 : 1;
    const Vec3 x{xSign * f[0][0], xSign * f[1][0], xSign * s * f[2][0]};
    const Vec3 y{ySign * f[0][2], ySign * f[1][2], ySign * s * f[2][2]};
    const Vec3 z{f[0][1], f[1][1], s * f[2][1]};
    return Rotation{{{x[0], y[0], z[0]}, {x[1], y[1], z[1]}, {x[2], y[2], z[2]}}};
}

// The inverse of a rigid pose as a column-major 4x4 matrix of floats.
void inverseMatrix(const Pose &pose, float *out) {
    const Vec3 t = rotateBack(pose.rotation, pose.translation);
    for (size_t column = 0; column < 3; ++column)
        for (size_t row = 0; row < 3; ++row)
            out[4 * column + row] = static_cast<float>(pose.rotation[column][row]);
    for (size_t row = 0; row < 3; ++row)
        out[row * 4 + 3] = 0;
    out[12] = static_cast<float>(-t[0]);
    out[13] = static_cast<float>(-t[1]);
    out[14] = static_cast<float>(-t[2]);
    out[15] = 1;
}

} // namespace standin::gltf
