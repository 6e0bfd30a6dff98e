// Bone segment geometry: one bone between two successive curve points.
#include <cmath>

#include "module/numerics/exact_math.h"
#include "module/model/model.h"
#include "module/services/services.h"

namespace spindle {

double pitchOf(double y) { return -exactAsin(y > 1.0 ? 1.0 : y < -1.0 ? -1.0 : y); }

double vectorLength(double x, double y, double z) { return std::sqrt((x * x + y * y) + z * z); }

double radiansToDegrees(double angle) { return (angle * 180.0) / 3.141592653589793; }

BoneSegment *BoneSegment::setFromPoints(PointId from, PointId to) {
    const PointInfo *info = host.meshEdit->pointInfo(host.meshEdit->state, from);
    if (info == nullptr)
        return nullptr;
    const PointInfo first = *info; // the record lives only until the next call
    info = host.meshEdit->pointInfo(host.meshEdit->state, to);
    if (info == nullptr)
        return nullptr;
    const PointInfo second = *info;

    startPoint = from;
    endPoint = to;
    for (int i = 0; i < 3; ++i) {
        start[i] = first.position[i];
        restPosition[i] = first.position[i];
        end[i] = second.position[i];
    }
    length = vectorLength(start[0] - end[0], start[1] - end[1], start[2] - end[2]);
    direction[0] = (end[0] - start[0]) / length;
    direction[1] = (end[1] - start[1]) / length;
    direction[2] = (end[2] - start[2]) / length;
    restHeading = exactAtan2(direction[0], direction[2]);
    worldHeading = restHeading;
    restPitch = pitchOf(direction[1]);
    worldPitch = restPitch;
    restBank = 0.0;
    worldBank = 0.0;
    return this;
}

} // namespace spindle
