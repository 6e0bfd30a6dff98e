// The parent-relative transform: every bone's rest position and rest
// direction expressed in its parent's frame.
#include <cstdint>
#include <cstring>

#include "module/numerics/exact_math.h"

#include "module/model/model.h"

namespace spindle {

namespace {

// The rotation from the four values: the products and sums in exactly this
// grouping, as the scene's last digits depend on it.
void rotate(double sh, double ch, double sp, double cp, double &x, double &y, double &z) {
    const double rx = ch * x - sh * z;
    const double ry = (sh * (sp * x) + cp * y) + ch * (sp * z);
    const double rz = (sh * (cp * x) - sp * y) + ch * (cp * z);
    x = rx;
    y = ry;
    z = rz;
}

uint64_t bitsOf(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

} // namespace

void rotateByHeadingPitch(double heading, double pitch, double &x, double &y, double &z) {
    rotate(exactSin(heading), exactCos(heading), exactSin(pitch), exactCos(pitch), x, y, z);
}

// Every descendant's walk passes through this frame, so its four values are
// taken once: the same values the rotation would compute, so the same digits.
void rotateIntoFrame(BoneSegment &frame, double &x, double &y, double &z) {
    if (frame.parent != nullptr && !frame.processed)
        toParentFrame(frame);
    if (frame.parent != nullptr)
        rotateIntoFrame(*frame.parent, x, y, z);
    const uint64_t heading = bitsOf(frame.restHeading);
    if (heading != frame.frameHeadingBits) {
        frame.frameSinHeading = exactSin(frame.restHeading);
        frame.frameCosHeading = exactCos(frame.restHeading);
        frame.frameHeadingBits = heading;
    }
    const uint64_t pitch = bitsOf(frame.restPitch);
    if (pitch != frame.framePitchBits) {
        frame.frameSinPitch = exactSin(frame.restPitch);
        frame.frameCosPitch = exactCos(frame.restPitch);
        frame.framePitchBits = pitch;
    }
    rotate(frame.frameSinHeading, frame.frameCosHeading, frame.frameSinPitch, frame.frameCosPitch, x, y, z);
}

void toParentFrame(BoneSegment &segment) {
    if (segment.parent == nullptr || segment.processed)
        return;
    BoneSegment &parent = *segment.parent;
    if (!parent.processed)
        toParentFrame(parent);

    double dx = segment.direction[0];
    double dy = segment.direction[1];
    double dz = segment.direction[2];
    rotateIntoFrame(parent, dx, dy, dz);

    if (segment.parentAcrossControl) {
        double px = segment.start[0] - parent.start[0];
        double py = segment.start[1] - parent.start[1];
        double pz = segment.start[2] - parent.start[2];
        rotateIntoFrame(parent, px, py, pz);
        segment.restPosition[0] = px;
        segment.restPosition[1] = py;
        segment.restPosition[2] = pz;
    } else {
        segment.restPosition[0] = 0.0;
        segment.restPosition[1] = 0.0;
        segment.restPosition[2] = parent.length;
    }
    segment.restHeading = exactAtan2(dx, dz);
    segment.restPitch = pitchOf(dy);
    segment.processed = true;
}

} // namespace spindle
