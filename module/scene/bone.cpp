// Bone records: one chain bone or goal bone of the scene's first object.
#include <cassert>
#include <cstdio>

#include "module/scene/scene.h"

namespace spindle {

void writeBone(SceneText &text, const BoneSegment &segment, BoneMode mode, const Options &options) {
    assert(segment.curve != nullptr);
    assert(segment.boneNumber >= 1 && segment.boneNumber <= kMaxBones);
    const Curve &curve = *segment.curve;
    const bool goalBone = mode == BoneMode::GoalBone;
    const bool surfaceName = options.useSurfaceName != 0;

    appendText(text, "AddBone\r\nBoneName ");
    if (surfaceName)
        appendOutsideText(text, curve.name);
    appendText(text, goalBone ? (surfaceName ? "_GoalBone\r\n" : "GoalBone\r\n") : (surfaceName ? "\r\n" : "Bone\r\n"));
    appendFormat(text, "ShowBone 1 %d\r\n", options.boneColor + 1);
    appendFormat(text, "BoneActive %d\r\n", options.activateBone != 0 && !goalBone ? 1 : 0);

    double keys[6];
    if (goalBone) {
        appendFormat(text, "BoneRestPosition 0.0 0.0 %s\r\n", formatFixed(segment.length).text);
        appendText(text, "BoneRestDirection 0.0, 0.0, 0.0\r\n");
        appendFormat(text, "BoneRestLength %s\r\n", formatFixed(segment.length / 100.0).text);
        appendText(text, "BoneStrength 0.000000\r\n");
        keys[0] = 0.0;
        keys[1] = 0.0;
        keys[2] = segment.length;
    } else {
        appendFormat(text, "BoneRestPosition %s %s %s\r\n", formatFixed(segment.restPosition[0]).text,
                     formatFixed(segment.restPosition[1]).text, formatFixed(segment.restPosition[2]).text);
        appendFormat(text, "BoneRestDirection %s %s %s\r\n", formatFixed(radiansToDegrees(segment.restHeading)).text,
                     formatFixed(radiansToDegrees(segment.restPitch)).text,
                     formatFixed(radiansToDegrees(segment.restBank)).text);
        appendFormat(text, "BoneRestLength %s\r\n", formatFixed(segment.length).text);
        appendText(text, "BoneStrength 1.000000\r\n");
        keys[0] = segment.restPosition[0];
        keys[1] = segment.restPosition[1];
        keys[2] = segment.restPosition[2];
    }
    keys[3] = segment.restHeading;
    keys[4] = segment.restPitch;
    keys[5] = segment.restBank;

    appendText(text, "ScaleBoneStrength 0\r\nBoneMotion\r\nNumChannels 9\r\n");
    for (int channel = 0; channel < 6; ++channel) {
        // Channel 5 carries a 0 written straight before its value.
        char key[kFixedTextSize + 1];
        std::snprintf(key, sizeof key, "%s%s", channel == 5 ? "0" : "", formatFixed(keys[channel]).text);
        writeEnvelope(text, channel, key);
    }
    for (int channel = 6; channel < 9; ++channel)
        writeEnvelope(text, channel, "1");
    appendText(text, "HController 3\r\nPController 3\r\nBController 3\r\n");

    // The model hangs a bone under the nearest ancestor that is a bone,
    // never under a start control segment.
    if (goalBone)
        writeParentItem(text, boneItem(segment.boneNumber));
    else if (segment.parent != nullptr)
        writeParentItem(text, boneItem(segment.parent->boneNumber));
    else
        writeParentItem(text, kFirstObjectItem);

    if (goalBone || (mode == BoneMode::ChainBone && curve.noGoal == 0 && curve.goalBone == 0)) {
        ++goalCounter;
        appendFormat(text, "GoalObject %d\r\nFullTimeIK 1\r\nGoalStrength 1\r\n", goalCounter + 1);
    }
    appendText(text, "\r\n");
}

} // namespace spindle
