// The scene file as a whole: the fixed sections around the bone and goal
// records, and the safe replacement of the file at the scene path.
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plugin/plugin.h"
#include "scene/scene.h"

namespace spindle {

int32_t goalCounter = 0;

namespace {

const char *const kHeaderA[] = {
    "LWSC", "3", "", "FirstFrame 1", "LastFrame 60", "FrameStep 1", "FramePerSecond  30.000000", "",
};

const char *const kHeaderB[] = {
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
    "SolidBackdrop 1",  "BackdropColor 0 0 0", "ZenithColor 0 40 80",  "SkyColor 120 180 240", "GroundColor 50 40 30",
    "NadirColor 100 80 60", "FogType 0",       "DitherIntensity 1",    "AnimatedDither 0",     "",
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
void writeLines(std::FILE *file, const char *const (&lines)[N]) {
    for (const char *line : lines)
        std::fprintf(file, "%s\r\n", line);
}

void writeObject(std::FILE *file) {
    const char *objectPath = readObjectPath();
    if (objectPath[0] == '\0') {
        std::fputs("AddNullObject NULL\r\n", file);
    } else {
        std::fprintf(file, "LoadObjectLayer 1 %s\r\n", objectPath);
        std::fputs("ShowObject 4 7\r\nObjectMotion\r\nNumChannels 9\r\n", file);
        for (int channel = 0; channel < 9; ++channel)
            std::fprintf(file, "Channel %d\r\n{ Envelope\r\n  1\r\n  Key %d 0 0 0 0 0 0 0 0\r\n  Behaviors 1 1\r\n}\r\n",
                         channel, channel >= 6 ? 1 : 0);
    }
    writeLines(file, kObjectTrailer);
}

void writeBody(std::FILE *file, const CurveTable &table, const GoalBoneList &goalBones, const Options &options) {
    const bool goalObjects = options.createGoalObject != 0;
    writeLines(file, kHeaderA);
    writeLines(file, kHeaderB);
    writeObject(file);

    goalCounter = 0;
    for (int32_t c = 0; c < table.count; ++c) {
        const Curve &curve = table.curves[c];
        for (int32_t s = 0; s < curve.segmentCount; ++s) {
            const BoneSegment &segment = curve.segment(s);
            if (segment.boneNumber < 0)
                continue;
            const bool tip = s == curve.segmentCount - 1;
            writeBone(file, segment, goalObjects && tip ? 1 : -1, options);
        }
    }
    if (goalObjects && options.createGoalBone != 0)
        for (int32_t g = 0; g < goalBones.count; ++g)
            writeBone(file, *goalBones.tips[g], 0, options);
    std::fputs("ShadowOptions 7\r\n\r\n", file);

    if (goalObjects) {
        for (int32_t c = 0; c < table.count; ++c) {
            const Curve &curve = table.curves[c];
            if (curve.noGoal == 0 && curve.goalBone == 0 && curve.segmentCount > 0)
                writeGoalNull(file, curve.segment(curve.segmentCount - 1), false, options);
        }
        for (int32_t g = 0; g < goalBones.count; ++g)
            writeGoalNull(file, *goalBones.tips[g], true, options);
    }

    writeLines(file, kLight);
    writeLines(file, kCamera);
    writeLines(file, kBackdrop);
    writeLines(file, kRender);
    writeLines(file, kView);
}

// Where the scene goes while it is written.
struct Output {
    std::FILE *file = nullptr;
    std::string temporary;  // moved over `replaced` at the end; empty when writing in place
    std::string replaced;   // the path, or the file that a link at the path leads to
    bool created = false;   // writing in place into a file that this run created
};

mode_t creationMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Starts a temporary file beside `replaced` with the permission bits `mode`.
bool openTemporary(const std::string &replaced, mode_t mode, Output &out) {
    std::string temporary = replaced + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    if (::fchmod(fd, mode) == 0) {
        if (std::FILE *file = ::fdopen(fd, "wb")) {
            out.file = file;
            out.temporary = std::move(temporary);
            out.replaced = replaced;
            return true;
        }
    }
    ::close(fd);
    ::unlink(temporary.c_str());
    return false;
}

// Opens the scene's output.  False where the path cannot be written at all:
// empty, a folder, a missing folder, a file that may not be written.
bool openOutput(const std::string &path, Output &out) {
    if (path.empty() || path.back() == '/')
        return false;
    struct stat target;
    const bool exists = ::stat(path.c_str(), &target) == 0;
    if (exists) {
        if (S_ISDIR(target.st_mode))
            return false;
        // Ask whether the file may be written, without touching its content.
        const int probe = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (probe < 0)
            return false;
        ::close(probe);
    }

    // A plain file, or none yet: write beside it and move the result over
    // it at the end.  A link is kept and the file it leads to replaced;
    // devices and the like are written as they are.
    if (!exists) {
        struct stat link;
        const bool danglingLink = ::lstat(path.c_str(), &link) == 0;
        if (!danglingLink && openTemporary(path, creationMode(), out))
            return true;
    } else if (S_ISREG(target.st_mode)) {
        if (char *resolved = ::realpath(path.c_str(), nullptr)) {
            const std::string replaced = resolved;
            std::free(resolved);
            if (openTemporary(replaced, target.st_mode & 07777, out))
                return true;
        }
    }
    // The folder takes no new file (or the name no suffix): write in place.
    out.file = std::fopen(path.c_str(), "wb");
    out.created = !exists;
    return out.file != nullptr;
}

// Closes the output and, when everything reached the disk, puts it in place.
// False on any write, close or move failure; the output is then removed and
// an older file at the path keeps its content where it could be kept.
bool closeOutput(const std::string &path, Output &out) {
    bool written = std::fflush(out.file) == 0 && std::ferror(out.file) == 0;
    if (written && !out.temporary.empty())
        written = ::fsync(::fileno(out.file)) == 0;
    if (std::fclose(out.file) != 0)
        written = false;
    out.file = nullptr;
    if (!out.temporary.empty()) {
        if (written)
            written = ::rename(out.temporary.c_str(), out.replaced.c_str()) == 0;
        if (!written)
            ::unlink(out.temporary.c_str());
    } else if (!written && out.created) {
        ::unlink(path.c_str());
    }
    return written;
}

void showPathError(const char *what, const std::string &path) {
    const std::string text = std::string(what) + " \"" + path + "\". ";
    showError(text.c_str());
}

} // namespace

SceneResult writeScene(const CurveTable &table, const GoalBoneList &goalBones, const Options &options) {
    const std::string path = readScenePath();
    Output out;
    if (!openOutput(path, out)) {
        showPathError("Can't open", path);
        return SceneResult::NotOpened;
    }
    writeBody(out.file, table, goalBones, options);
    if (!closeOutput(path, out)) {
        showPathError("Can't write", path);
        return SceneResult::NotWritten;
    }
    showInfo("Scene file created.");
    return SceneResult::Written;
}

} // namespace spindle
