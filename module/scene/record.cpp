// Pieces that every scene record shares: number text, item ids and the
// envelope block of one motion channel.
#include <cassert>
#include <cstdio>

#include "module/scene/scene.h"

namespace spindle {

FixedText formatFixed(double value) {
    FixedText out;
    if (value == 0.0)
        value = 0.0; // drops the sign of a negative zero
    std::snprintf(out.text, sizeof out.text, "%8.6lf", value);
    return out;
}

unsigned boneItem(int32_t boneNumber) {
    assert(boneNumber >= 1 && boneNumber <= kMaxBones);
    return static_cast<unsigned>(boneNumber + 0x3fff);
}

void writeParentItem(SceneText &text, unsigned item) { appendFormat(text, "ParentItem %04x0000\r\n", item); }

void writeEnvelope(SceneText &text, int channel, const char *key) {
    appendFormat(text, "Channel %d\r\n{ Envelope\r\n  1\r\n  Key %s 0 0 0 0 0 0 0 0\r\n  Behaviors 1 1\r\n}\r\n",
                 channel, key);
}

} // namespace spindle
