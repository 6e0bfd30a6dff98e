// Bone records: one chain bone or goal bone of the scene's first object.
#include <cassert>

#include "scene/scene.h"

namespace spindle {

namespace {

// "%04x" of a bone's item id: the digit 4, the bone's index in three hex
// digits; "0000" follows on the line.
unsigned boneItem(int32_t boneNumber) {
    assert(boneNumber >= 1 && boneNumber <= kMaxBones);
    return static_cast<unsigned>(boneNumber + 0x3fff);
}

void writeChannel(SceneText &text, int channel, double value) {
    // Channel 5 carries a 0 written straight before its value.
    appendFormat(text, "Channel %d\r\n{ Envelope\r\n  1\r\n  Key %s%s 0 0 0 0 0 0 0 0\r\n  Behaviors 1 1\r\n}\r\n",
                 channel, channel == 5 ? "0" : "", formatFixed(value).text);
}

} // namespace

void writeBone(SceneText &text, const BoneSegment &segment, int32_t mode, const Options &options) {
    assert(mode == 1 || mode == -1 || mode == 0);
    assert(segment.curve != nullptr);
    assert(segment.boneNumber >= 1 && segment.boneNumber <= kMaxBones);
    const Curve &curve = *segment.curve;
    const bool goalBone = mode == 0;
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
    for (int channel = 0; channel < 6; ++channel)
        writeChannel(text, channel, keys[channel]);
    for (int channel = 6; channel < 9; ++channel)
        appendFormat(text, "Channel %d\r\n{ Envelope\r\n  1\r\n  Key 1 0 0 0 0 0 0 0 0\r\n  Behaviors 1 1\r\n}\r\n",
                     channel);
    appendText(text, "HController 3\r\nPController 3\r\nBController 3\r\n");

    if (goalBone) {
        appendFormat(text, "ParentItem %04x0000\r\n", boneItem(segment.boneNumber));
    } else if (segment.parent != nullptr) {
        // The model hangs a bone under the nearest ancestor that is a bone,
        // never under a start control segment.
        assert(segment.parent->boneNumber >= 1);
        appendFormat(text, "ParentItem %04x0000\r\n", boneItem(segment.parent->boneNumber));
    } else {
        appendText(text, "ParentItem 10000000\r\n");
    }

    if (goalBone || (mode == 1 && curve.noGoal == 0 && curve.goalBone == 0)) {
        ++goalCounter;
        appendFormat(text, "GoalObject %d\r\nFullTimeIK 1\r\nGoalStrength 1\r\n", goalCounter + 1);
    }
    appendText(text, "\r\n");
}

} // namespace spindle
