// The scene file writer: the scene text as a whole, the bone records and the
// goal null records.
#pragma once

#include <cstdint>
#include <cstdio>

#include "model/model.h"
#include "panel/panel.h"

namespace spindle {

enum class SceneResult {
    Written,    // "Scene file created." shown
    NotOpened,  // "Can't open \"%s\". " shown
    NotWritten, // "Can't write \"%s\". " shown; the old file kept
};

// Module storage: goal objects handed out so far in this scene.
extern int32_t goalCounter;

// Reads the scene path back (readScenePath), writes the whole scene for the
// table, the goal-bone list and the options, and shows the outcome through
// host.messages.
SceneResult writeScene(const CurveTable &table, const GoalBoneList &goalBones, const Options &options);

// Appends one bone record.  mode 1: chain tip with goal objects on; −1: any
// other chain bone; 0: the goal bone extending the tip `segment`.
void writeBone(std::FILE *file, const BoneSegment &segment, int32_t mode, const Options &options);

// Appends one goal null record for the tip `segment`: at its end when atEnd,
// else at its start.
void writeGoalNull(std::FILE *file, const BoneSegment &segment, bool atEnd, const Options &options);

// The nearest ancestor whose curve bears another surface name, or null.
const BoneSegment *findGoalParent(const BoneSegment &segment);

} // namespace spindle
