// Goal null records: the null objects that the IK chains reach for.
#include <cassert>
#include <cmath>
#include <cstring>

#include "scene/scene.h"

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
    int32_t parentId = 0x1000;

    if (options.optimizeGoalParent != 0) {
        if (const BoneSegment *ancestor = findGoalParent(segment)) {
            assert(ancestor->boneNumber >= 1 && ancestor->boneNumber <= kMaxBones);
            parentId = ancestor->boneNumber + 0x3fff;
            const double x = position[0] - ancestor->start[0];
            const double y = position[1] - ancestor->start[1];
            const double z = position[2] - ancestor->start[2];
            // The ancestor's model-space frame, turned by heading then pitch.
            const double sh = std::sin(ancestor->worldHeading), ch = std::cos(ancestor->worldHeading);
            const double sp = std::sin(ancestor->worldPitch), cp = std::cos(ancestor->worldPitch);
            position[0] = ch * x - sh * z;
            position[1] = (sh * (sp * x) + cp * y) + ch * (sp * z);
            position[2] = (sh * (cp * x) - sp * y) + ch * (cp * z);
        }
    }

    appendText(text, "AddNullObject ");
    appendOutsideText(text, segment.curve->name);
    appendText(text, "_Goal\r\n");
    appendFormat(text, "ShowObject 8 %d\r\n", options.goalColor + 1);
    appendText(text, "ObjectMotion\r\nNumChannels 9\r\n");
    for (int channel = 0; channel < 3; ++channel)
        appendFormat(text, "Channel %d\r\n{ Envelope\r\n  1\r\n  Key %s 0 0 0 0 0 0 0 0\r\n  Behaviors 1 1\r\n}\r\n",
                     channel, formatFixed(position[channel]).text);
    for (int channel = 3; channel < 9; ++channel)
        appendFormat(text, "Channel %d\r\n{ Envelope\r\n  1\r\n  Key %d 0 0 0 0 0 0 0 0\r\n  Behaviors 1 1\r\n}\r\n",
                     channel, channel >= 6 ? 1 : 0);
    appendFormat(text, "ParentItem %04x0000\r\n", static_cast<unsigned>(parentId));
    appendText(text, "UnaffectedByFog 1\r\nUnseenByRays 1\r\nUnseenByCamera 1\r\nShadowOptions 0\r\n\r\n");
}

} // namespace spindle
