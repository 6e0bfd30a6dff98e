// Placeholder until the model lands.
#include "model/model.h"
namespace spindle {
BoneSegment *BoneSegment::setFromPoints(PointId, PointId) { return nullptr; }
double vectorLength(double, double, double) { return 0; }
double radiansToDegrees(double) { return 0; }
FillResult Curve::fill(const PolygonInfo &) { return FillResult::NoMemory; }
void Curve::applyNoGoalSuffix() {}
void Curve::release() { delete[] segments; segments = nullptr; }
void CurveTable::release() { for (auto &c : curves) c.release(); }
int32_t collectCurve(void *, const PolygonInfo *) { return 0; }
int32_t linkChains(CurveTable &, const Options &) { return 0; }
bool findLoop(CurveTable &) { return false; }
int32_t countGoalBones(const CurveTable &, const Options &) { return 0; }
void finishChains(CurveTable &, const Options &, GoalBoneList &) {}
void toParentFrame(BoneSegment &) {}
void rotateIntoFrame(BoneSegment &, double &, double &, double &) {}
} // namespace spindle
