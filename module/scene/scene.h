// The scene file writer: the scene text as a whole, the bone records and the
// goal null records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "module/model/model.h"
#include "module/panel/panel.h"

namespace spindle {

enum class SceneResult {
    Written,    // "Scene file created." shown
    NotOpened,  // "Can't open \"%s\". " shown
    NotWritten, // "Can't write \"%s\". " (or "Not enough memory.") shown; the old file kept
};

// The scene's text, composed whole in memory before any of it is written.
// Owns its bytes.  Once memory runs out, `failed` is set and every later
// append is dropped.
struct SceneText {
    char *bytes = nullptr;
    std::size_t size = 0;
    std::size_t capacity = 0;
    bool failed = false;

    SceneText() = default;
    SceneText(const SceneText &) = delete;
    SceneText &operator=(const SceneText &) = delete;
    ~SceneText();
};

// Appends text written by the module itself, line ends included.
void appendText(SceneText &text, const char *part);
// Appends text that came from outside (a surface name, an object path) with
// every CR and LF byte replaced by '_', so that it cannot start a line.
void appendOutsideText(SceneText &text, const char *part);
// Appends printf-formatted text; no argument may be outside text.
void appendFormat(SceneText &text, const char *format, ...) __attribute__((format(printf, 2, 3)));

// Module storage: goal objects handed out so far in this scene.  writeScene
// sets it to 0 before the first bone record; each record with goal lines
// raises it by one and names object goalCounter + 1.
extern int32_t goalCounter;

// Reads the scene path back (readScenePath), opens the scene's output,
// composes the whole scene for the table, the goal-bone list and the options
// in memory, writes it, and shows the outcome through host.messages.  A
// failed run leaves an existing file with its old bytes (see
// openSceneOutput).  Every bone number must lie in 1..kMaxBones (the caller
// refuses larger scenes).
SceneResult writeScene(const CurveTable &table, const GoalBoneList &goalBones, const Options &options);

// What a bone record is written for.
enum class BoneMode : int32_t {
    ChainBone = 1,                  // a chain tip while goal objects are on: may carry goal lines
    ChainBoneWithoutGoalLines = -1, // every other chain bone
    GoalBone = 0,                   // the goal bone extending a chain's tip segment
};

// Appends one bone record for `segment` (for a goal bone: the tip segment
// it extends).  The segment's curve must be set and its bone number (and
// its parent's, which is never a control segment) lie in 1..kMaxBones.
void writeBone(SceneText &text, const BoneSegment &segment, BoneMode mode, const Options &options);

// Appends one goal null record for the tip `segment`: at its end when atEnd,
// else at its start; with optimizeGoalParent placed under findGoalParent's
// bone, in that bone's model-space frame.  Leaves goalCounter alone.
void writeGoalNull(SceneText &text, const BoneSegment &segment, bool atEnd, const Options &options);

// ---- the file at the scene path (one implementation per platform) ----------

// Where the scene goes while it is written.
struct SceneOutput {
    std::intptr_t file = -1; // the open file: a descriptor, or a Windows HANDLE
    std::string target;      // the file replaced: the path, or where links at it lead
    std::string temporary;   // moved over `target` by commit; empty when writing in place
    bool created = false;    // writing in place into a file this run created
};

// Opens the output for the scene at `path`: a temporary file with a short
// name of its own (".spindle-XXXXXX") in the folder of the file that is
// replaced, or, where that folder takes no new file, the file itself.  A
// link at the path is kept and the file it leads to (which need not exist
// yet) is replaced.  False, with nothing left behind, where the path cannot
// be written at all: empty, a folder, a missing folder, a link loop, a file
// that may not be written.
bool openSceneOutput(const char *path, SceneOutput &out);

// Writes `size` bytes to the output and puts it in place: a temporary is
// synced and moved over the target; where the folder refuses the move, the
// target is written in place instead.  In place, the old bytes are put back
// if the new ones cannot all be written.  False on any failure; no
// temporary is left either way.
bool commitSceneOutput(SceneOutput &out, const char *bytes, std::size_t size);

// Gives up an opened output: removes the temporary, or a file that this run
// created, and leaves an existing file as it was.
void abandonSceneOutput(SceneOutput &out);

// The nearest ancestor whose curve bears another surface name (compared
// byte by byte with the segment's own curve name), or null.
const BoneSegment *findGoalParent(const BoneSegment &segment);

// The item id of the scene's first object, written "10000000": the parent
// of every root bone and of every goal null placed in model space.
inline constexpr unsigned kFirstObjectItem = 0x1000;

// The item id of bone `boneNumber` (1..kMaxBones) for "%04x0000": the digit
// 4 and the bone's index in three hexadecimal digits.
unsigned boneItem(int32_t boneNumber);

// Appends "ParentItem " and the item id.
void writeParentItem(SceneText &text, unsigned item);

// Appends the envelope block of one motion channel with a single key whose
// value is the text `key`.
void writeEnvelope(SceneText &text, int channel, const char *key);

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
