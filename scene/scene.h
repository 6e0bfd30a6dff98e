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

// Module storage: goal objects handed out so far in this scene.  writeScene
// sets it to 0 before the first bone record; each record with goal lines
// raises it by one and names object goalCounter + 1.
extern int32_t goalCounter;

// Reads the scene path back (readScenePath), writes the whole scene for the
// table, the goal-bone list and the options, and shows the outcome through
// host.messages.  The scene goes to a temporary file beside the path that is
// moved over it only once every write and the close succeeded, so a failed
// run leaves an existing file as it was; where the folder takes no new file
// but the file itself may be written, the file is written in place.  Every
// bone number must lie in 1..kMaxBones (the caller refuses larger scenes).
SceneResult writeScene(const CurveTable &table, const GoalBoneList &goalBones, const Options &options);

// Appends one bone record.  mode 1: chain tip with goal objects on; −1: any
// other chain bone; 0: the goal bone extending the tip `segment`.  The
// segment's curve must be set and its bone number (and its parent's, which
// is never a control segment) lie in 1..kMaxBones.  Write errors stay in the
// file's error flag.
void writeBone(std::FILE *file, const BoneSegment &segment, int32_t mode, const Options &options);

// Appends one goal null record for the tip `segment`: at its end when atEnd,
// else at its start; with optimizeGoalParent placed under findGoalParent's
// bone, in that bone's model-space frame.  Leaves goalCounter alone.
void writeGoalNull(std::FILE *file, const BoneSegment &segment, bool atEnd, const Options &options);

// The nearest ancestor whose curve bears another surface name (compared
// byte by byte with the segment's own curve name), or null.
const BoneSegment *findGoalParent(const BoneSegment &segment);

// Room for any double in "%8.6lf" (the largest takes 317 characters).
inline constexpr int kFixedTextSize = 328;

// One number as the scene writes it: "%8.6lf", except that a zero of either
// sign is written 0.000000.  A negative value that is not zero keeps its
// minus sign, even where it rounds to -0.000000.
struct FixedText {
    char text[kFixedTextSize];
};
FixedText formatFixed(double value);

} // namespace spindle
