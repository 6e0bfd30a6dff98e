// The scene file as a whole: the fixed sections around the bone and goal
// records, composed in memory and then handed to the file at the scene path.
#include <string>

#include "module/services/services.h"
#include "module/scene/scene.h"

namespace spindle {

int32_t goalCounter = 0;

namespace {

// The header in its older spelling: "FramePerSecond" with a fraction.
const char *const kOlderHeader[] = {
    "LWSC", "3", "", "FirstFrame 1", "LastFrame 60", "FrameStep 1", "FramePerSecond  30.000000", "",
};

// The header in its current spelling, with the preview range.
const char *const kCurrentHeader[] = {
    "LWSC",
    "3",
    "",
    "FirstFrame 1",
    "LastFrame 60",
    "FrameStep 1",
    "PreviewFirstFrame 0",
    "PreviewLastFrame 60",
    "PreviewFrameStep 1",
    "CurrentFrame 0",
    "FramesPerSecond 30",
};

const char *const kObjectTrailer[] = {"ShowObject 4 7", "IKAnchor 1", "BoneFalloffType 3", ""};

const char *const kLight[] = {
    "AmbientColor 0.999989 0.999989 0.999989",
    "AmbIntensity 0.250000",
    "AddLight",
    "LightName Light",
    "ShowLight 1 7",
    "LightMotion  (unnamed) ",
    "  9",
    "  1",
    "  -2 2 -2 45 35 0 1 1 1",
    "  0 0 0 0 0",
    "EndBehavior 1",
    "LightColor 255 255 255",
    "LgtIntensity 1.000000",
    "LightType 0",
    "ShadowType 1",
    "",
};

const char *const kCamera[] = {
    "ShowCamera 1 7",
    "CameraMotion (unnamed)",
    "  9",
    "  1",
    "  0 0 -4 0 0 0 1 1 1",
    "  0 0 0 0 0",
    "EndBehavior 1",
    "Resolution 1",
    "PixelAspectRatio 2",
    "SegmentMemory 4000000",
    "Antialiasing 0",
    "AdaptiveSampling 1",
    "AdaptiveThreshold 16",
    "FilmSize 2",
    "FieldRendering 0",
    "MotionBlur 0",
    "DepthOfField 0",
    "",
};

const char *const kBackdrop[] = {
    "SolidBackdrop 1",
    "BackdropColor 0 0 0",
    "ZenithColor 0 40 80",
    "SkyColor 120 180 240",
    "GroundColor 50 40 30",
    "NadirColor 100 80 60",
    "FogType 0",
    "DitherIntensity 1",
    "AnimatedDither 0",
    "",
};

const char *const kRender[] = {
    "RenderMode 2", "RayTraceEffects 0", "ClipRayColors 0", "DataOverlayLabel  ", "FullSceneParamEval 0", "",
};

const char *const kView[] = {
    "ViewMode 3",
    "ViewAimpoint 0.000000 0.000000 0.000000",
    "ViewDirection 0.300197 -0.314159 0.000000",
    "ViewZoomFactor 4.000000",
    "GridNumber 10",
    "GridSize 1.000000",
    "ShowMotionPath 1",
    "ShowBGImage 0",
    "ShowFogRadius 0",
    "ShowRedraw 0",
    "ShowSafeAreas 0",
    "ShowFieldChart 0",
};

template <std::size_t N>
void writeLines(SceneText &text, const char *const (&lines)[N]) {
    for (const char *line : lines) {
        appendText(text, line);
        appendText(text, "\r\n");
    }
}

void writeObject(SceneText &text) {
    const char *objectPath = readObjectPath();
    if (objectPath[0] == '\0') {
        appendText(text, "AddNullObject NULL\r\n");
    } else {
        appendText(text, "LoadObjectLayer 1 ");
        appendOutsideText(text, objectPath);
        appendText(text, "\r\nShowObject 4 7\r\nObjectMotion\r\nNumChannels 9\r\n");
        for (int channel = 0; channel < 9; ++channel)
            writeEnvelope(text, channel, channel >= 6 ? "1" : "0");
    }
    writeLines(text, kObjectTrailer);
}

void writeBody(SceneText &text, const CurveTable &table, const GoalBoneList &goalBones, const Options &options) {
    const bool goalObjects = options.createGoalObject != 0;
    // Two header blocks, one after the other, as the scenes this module has
    // always written carry them: the first in the older spelling
    // ("FramePerSecond" with a fraction), the second in the current one with
    // the preview range.  Both agree on the frames, so a reader that keeps
    // either block gets the same scene, and riggers' existing scenes and
    // tools that compare them stay byte for byte the same.
    writeLines(text, kOlderHeader);
    writeLines(text, kCurrentHeader);
    writeObject(text);

    goalCounter = 0;
    for (int32_t c = 0; c < table.count; ++c) {
        const Curve &curve = table.curves[c];
        for (int32_t s = 0; s < curve.segmentCount; ++s) {
            const BoneSegment &segment = curve.segment(s);
            if (segment.boneNumber < 0)
                continue;
            const bool tip = s == curve.segmentCount - 1;
            writeBone(text, segment, goalObjects && tip ? BoneMode::ChainBone : BoneMode::ChainBoneWithoutGoalLines,
                      options);
        }
    }
    if (goalObjects && options.createGoalBone != 0)
        for (int32_t g = 0; g < goalBones.count; ++g)
            writeBone(text, *goalBones.tips[g], BoneMode::GoalBone, options);
    appendText(text, "ShadowOptions 7\r\n\r\n");

    if (goalObjects) {
        for (int32_t c = 0; c < table.count; ++c) {
            const Curve &curve = table.curves[c];
            if (curve.noGoal == 0 && curve.goalBone == 0 && curve.segmentCount > 0)
                writeGoalNull(text, curve.segment(curve.segmentCount - 1), false, options);
        }
        for (int32_t g = 0; g < goalBones.count; ++g)
            writeGoalNull(text, *goalBones.tips[g], true, options);
    }

    writeLines(text, kLight);
    writeLines(text, kCamera);
    writeLines(text, kBackdrop);
    writeLines(text, kRender);
    writeLines(text, kView);
}

void showPathError(const char *what, const std::string &path) {
    const std::string text = std::string(what) + " \"" + path + "\". ";
    showError(text.c_str());
}

} // namespace

SceneResult writeScene(const CurveTable &table, const GoalBoneList &goalBones, const Options &options) {
    const std::string path = readScenePath();
    SceneOutput out;
    if (!openSceneOutput(path.c_str(), out)) {
        showPathError("Can't open", path);
        return SceneResult::NotOpened;
    }
    // The whole scene is composed before the first byte is written, so a
    // failed write can always be undone.
    SceneText text;
    writeBody(text, table, goalBones, options);
    if (text.failed) {
        abandonSceneOutput(out);
        showError("Not enough memory.");
        return SceneResult::NotWritten;
    }
    if (!commitSceneOutput(out, text.bytes, text.size)) {
        showPathError("Can't write", path);
        return SceneResult::NotWritten;
    }
    showInfo("Scene file created.");
    return SceneResult::Written;
}

} // namespace spindle
