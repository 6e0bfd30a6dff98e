// Placeholder until the scene writer lands.
#include "scene/scene.h"
namespace spindle {
int32_t goalCounter;
SceneResult writeScene(const CurveTable &, const GoalBoneList &, const Options &) { return SceneResult::NotOpened; }
void writeBone(std::FILE *, const BoneSegment &, int32_t, const Options &) {}
void writeGoalNull(std::FILE *, const BoneSegment &, bool, const Options &) {}
const BoneSegment *findGoalParent(const BoneSegment &) { return nullptr; }
} // namespace spindle
