// The rotations of a scene's rest frames, shared by the rig's placement in
// model space and by the glTF export.
//
// The module turns a model-space vector into a bone's frame by the rest
// rotations of all its ancestors, root first, then its own: M(h, p) with
// heading h = atan2(x, z) and pitch p = -asin(y) of the direction, which
// takes that direction onto +z.  Going back, a frame's model-from-local
// rotation is its parent's times R(h, p, b) = M(h, p)^T Rz(b): the bank b
// turns about the bone's own z axis after heading and pitch (Spindle always
// writes b = 0; the sign is the right-hand one about +z).
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "standin/scene_reader/scene_reader.h"

namespace standin::rest {

using Matrix = std::array<Vec3, 3>; // rows

inline constexpr double kRadiansPerDegree = 3.141592653589793 / 180.0;
inline constexpr Matrix kIdentity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

inline Vec3 times(const Matrix &m, const Vec3 &v) {
    Vec3 r;
    for (size_t i = 0; i < 3; ++i)
        r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
    return r;
}

inline Matrix times(const Matrix &a, const Matrix &b) {
    Matrix r;
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j)
            r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    return r;
}

inline Vec3 plus(const Vec3 &a, const Vec3 &b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }

// M(h, p)^T, radians: the model-from-local rotation of a frame turned by
// heading, then pitch.  Its third column is the direction (h, p).
inline Matrix headingPitch(double h, double p) {
    const double sh = std::sin(h), ch = std::cos(h), sp = std::sin(p), cp = std::cos(p);
    return Matrix{{{ch, sh * sp, sh * cp}, {0, cp, -sp}, {-sh, ch * sp, ch * cp}}};
}

// R(h, p, b) from a rest direction in degrees.
inline Matrix restRotation(const Vec3 &degrees) {
    const double b = degrees[2] * kRadiansPerDegree;
    const double sb = std::sin(b), cb = std::cos(b);
    const Matrix bank{{{cb, -sb, 0}, {sb, cb, 0}, {0, 0, 1}}};
    return times(headingPitch(degrees[0] * kRadiansPerDegree, degrees[1] * kRadiansPerDegree), bank);
}

// The model-space frame of a bone as the module takes it for a goal null:
// heading and pitch of the bone's direction (its frame's z axis), no bank.
inline Matrix modelFrame(const Matrix &frame) {
    const double x = frame[0][2], y = std::clamp(frame[1][2], -1.0, 1.0), z = frame[2][2];
    return headingPitch(std::atan2(x, z), -std::asin(y));
}

} // namespace standin::rest
