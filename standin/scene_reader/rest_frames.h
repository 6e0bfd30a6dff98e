// The rotations of a scene's rest frames: the rig's placement in model
// space composes them, and the glTF export turns them into its nodes.
//
// The module turns a model-space vector into a bone's frame by the rest
// rotations of all its ancestors, root first, then its own: M(h, p) with
// heading h = atan2(x, z) and pitch p = -asin(y) of the direction, which
// takes that direction onto +z.  Going back, a frame's model-from-local
// rotation is its parent's times R(h, p, b) = M(h, p)^T Rz(b): the bank b
// turns about the bone's own z axis after heading and pitch (Spindle always
// writes b = 0; the sign is the right-hand one about +z).  The angles go
// through the module's correctly rounded sin, cos, asin and atan2, so that
// a rig is placed to the same bits on every platform.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "module/numerics/exact_math.h"
#include "standin/scene_reader/scene_reader.h"

namespace standin::frames {

// A 3×3 rotation by its rows: a frame's model-from-local rotation, whose
// columns are the frame's axes (column 2 a bone's direction).
using Rotation = std::array<Vec3, 3>;

inline constexpr double kRadiansPerDegree = 3.141592653589793 / 180.0;
inline constexpr Rotation kIdentity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

inline Vec3 times(const Rotation &m, const Vec3 &v) {
    Vec3 r;
    for (size_t i = 0; i < 3; ++i)
        r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
    return r;
}

inline Rotation times(const Rotation &a, const Rotation &b) {
    Rotation r;
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 3; ++j)
            r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    return r;
}

inline Vec3 plus(const Vec3 &a, const Vec3 &b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }

// M(h, p)^T, radians: the model-from-local rotation of a frame turned by
// heading, then pitch.  Its third column is the direction (h, p).
inline Rotation headingPitch(double h, double p) {
    const double sh = spindle::exactSin(h), ch = spindle::exactCos(h), sp = spindle::exactSin(p),
                 cp = spindle::exactCos(p);
    return Rotation{{{ch, sh * sp, sh * cp}, {0, cp, -sp}, {-sh, ch * sp, ch * cp}}};
}

// R(h, p, b) from a rest direction in degrees.
inline Rotation restRotation(const Vec3 &degrees) {
    const double b = degrees[2] * kRadiansPerDegree;
    const double sb = spindle::exactSin(b), cb = spindle::exactCos(b);
    const Rotation bank{{{cb, -sb, 0}, {sb, cb, 0}, {0, 0, 1}}};
    return times(headingPitch(degrees[0] * kRadiansPerDegree, degrees[1] * kRadiansPerDegree), bank);
}

// The model-space frame of a bone as the module takes it for a goal null:
// heading and pitch of the bone's direction (its frame's z axis), no bank.
inline Rotation modelFrame(const Rotation &frame) {
    const double x = frame[0][2], y = std::clamp(frame[1][2], -1.0, 1.0), z = frame[2][2];
    return headingPitch(spindle::exactAtan2(x, z), -spindle::exactAsin(y));
}

} // namespace standin::frames
