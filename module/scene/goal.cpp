// Goal null records: the null objects that the IK chains reach for.
#include <cassert>
#include <cstring>

#include "module/scene/scene.h"

namespace spindle {

const BoneSegment *findGoalParent(const BoneSegment &segment) {
    assert(segment.curve != nullptr);
    const char *ownName = segment.curve->name;
    for (const BoneSegment *ancestor = segment.parent; ancestor != nullptr; ancestor = ancestor->parent) {
        assert(ancestor->curve != nullptr);
        if (std::strcmp(ancestor->curve->name, ownName) != 0)
            return ancestor;
    }
    return nullptr;
}

void writeGoalNull(SceneText &text, const BoneSegment &segment, bool atEnd, const Options &options) {
    assert(segment.curve != nullptr);
    const double *at = atEnd ? segment.end : segment.start;
    double position[3] = {at[0], at[1], at[2]};
    unsigned parentItem = kFirstObjectItem;

    if (options.optimizeGoalParent != 0) {
        if (const BoneSegment *ancestor = findGoalParent(segment)) {
            parentItem = boneItem(ancestor->boneNumber);
            position[0] -= ancestor->start[0];
            position[1] -= ancestor->start[1];
            position[2] -= ancestor->start[2];
            // Into the ancestor's model-space frame.
            rotateByHeadingPitch(ancestor->worldHeading, ancestor->worldPitch, position[0], position[1], position[2]);
        }
    }

    appendText(text, "AddNullObject ");
    appendOutsideText(text, segment.curve->name);
    appendText(text, "_Goal\r\n");
    appendFormat(text, "ShowObject 8 %d\r\n", options.goalColor + 1);
    appendText(text, "ObjectMotion\r\nNumChannels 9\r\n");
    for (int channel = 0; channel < 3; ++channel)
        writeEnvelope(text, channel, formatFixed(position[channel]).text);
    for (int channel = 3; channel < 9; ++channel)
        writeEnvelope(text, channel, channel >= 6 ? "1" : "0");
    writeParentItem(text, parentItem);
    appendText(text, "UnaffectedByFog 1\r\nUnseenByRays 1\r\nUnseenByCamera 1\r\nShadowOptions 0\r\n\r\n");
}

} // namespace spindle
