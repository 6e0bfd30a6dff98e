// A bone's node in glTF: its rotation from the bone's frame, and the
// numbers a node and a skin hold (relative rotations as quaternions,
// inverse bind matrices).
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "standin/scene_reader/rest_frames.h"

namespace standin::gltf {

using frames::Rotation;

// A rigid pose in glTF's frame: rotation (rows), then translation.
struct Pose {
    Rotation rotation = frames::kIdentity;
    Vec3 translation{};
};

// mᵀ v.
Vec3 rotateBack(const Rotation &m, const Vec3 &v);

// aᵀ b.
Rotation relative(const Rotation &a, const Rotation &b);

// The unit quaternion (x, y, z, w), w >= 0, of rotation matrix `m`.
std::array<double, 4> quaternion(const Rotation &m);

// The node's global rotation for a bone of frame `f` (rows; columns are
// the bone's axes) in glTF: mirrored in z when `mirror`, turned about its
// +Z when the bone's length is `negative` (see bone_pose.cpp).
Rotation boneRotation(const Rotation &f, bool mirror, bool negative);

// The inverse of a rigid pose as a column-major 4x4 matrix of floats into
// out[0..15].
void inverseMatrix(const Pose &pose, float *out);

// Rounding noise (a component below 1e-12 of the largest) set to 0, so
// that the file shows the numbers a person would write: [0, 0.2, 0], not
// [1.2e-17, 0.2, 0].
template <size_t N>
std::array<double, N> tidy(std::array<double, N> v) {
    double largest = 0;
    for (double c : v)
        largest = std::max(largest, std::abs(c));
    for (double &c : v)
        if (std::abs(c) < 1e-12 * largest)
            c = 0;
    return v;
}

} // namespace standin::gltf
