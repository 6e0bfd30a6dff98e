#include "scene/scene_fixture.h"

#include <cmath>
#include <cstring>

#if !defined(_WIN32)
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace scenetest {

std::string messageLog;

namespace {
void recordInfo(const char *line1, const char *) { messageLog += std::string("info: ") + line1 + "\n"; }
void recordError(const char *line1, const char *) { messageLog += std::string("error: ") + line1 + "\n"; }
const MessageServices recorder = {recordInfo, recordError};

constexpr double kHalfPi = 0x1.921fb54442d18p+0;
constexpr double kTiny = 0x1.1a62633145c07p-54; // cos(pi/2) as the rotation meets it

void setRest(spindle::BoneSegment &segment, double heading, double pitch, double z) {
    segment.restHeading = heading;
    segment.restPitch = pitch;
    segment.restPosition[0] = 0.0;
    segment.restPosition[1] = 0.0;
    segment.restPosition[2] = z;
}
} // namespace

void recordMessages() {
    messageLog.clear();
    spindle::host.messages = &recorder;
}

void placeSegment(spindle::BoneSegment &segment, const double (&start)[3], const double (&end)[3]) {
    const double dx = end[0] - start[0], dy = end[1] - start[1], dz = end[2] - start[2];
    segment.length = std::sqrt((dx * dx + dy * dy) + dz * dz);
    for (int i = 0; i < 3; ++i) {
        segment.start[i] = start[i];
        segment.end[i] = end[i];
        segment.restPosition[i] = start[i];
    }
    segment.direction[0] = dx / segment.length;
    segment.direction[1] = dy / segment.length;
    segment.direction[2] = dz / segment.length;
    segment.worldHeading = segment.restHeading = std::atan2(segment.direction[0], segment.direction[2]);
    segment.worldPitch = segment.restPitch = -std::asin(segment.direction[1]);
    segment.worldBank = segment.restBank = 0.0;
    segment.boneNumber = 0;
    segment.parent = nullptr;
}

TypicalModel::TypicalModel(const spindle::Options &options, bool armHasNgSuffix)
    : table(std::make_unique<spindle::CurveTable>()), goalBones(std::make_unique<spindle::GoalBoneList>()) {
    spindle::Curve &body = table->curves[0];
    spindle::Curve &arm = table->curves[1];
    table->count = 2;
    std::strcpy(body.name, "Body");
    std::strcpy(arm.name, "Arm");
    const bool skipNg = options.createGoalObject != 0 && options.skipGoalOnNgSuffix != 0;
    if (armHasNgSuffix && !skipNg)
        std::strcpy(arm.name, "Arm_NG");
    arm.noGoal = armHasNgSuffix && skipNg;

    placeSegment(a[0], {0, 0, 0}, {0, 1, 0});
    placeSegment(a[1], {0, 1, 0}, {0, 2, 0});
    placeSegment(a[2], {0, 2, 0}, {0, 3, 0});
    placeSegment(b[0], {0, 2, 0}, {1, 2, 0});
    placeSegment(b[1], {1, 2, 0}, {2, 2, 0});
    body.segments = a;
    body.segmentCount = 3;
    arm.segments = b;
    arm.segmentCount = 2;
    for (int i = 0; i < 3; ++i) {
        a[i].curve = &body;
        a[i].boneNumber = i + 1;
    }
    for (int i = 0; i < 2; ++i) {
        b[i].curve = &arm;
        b[i].boneNumber = i + 4;
    }
    a[1].parent = &a[0];
    a[2].parent = &a[1];
    b[0].parent = &a[1];
    b[1].parent = &b[0];

    // The root keeps its model-space values; every other bone is given in
    // its parent's frame.
    setRest(a[1], 0.0, -kTiny, 1.0);
    setRest(a[2], 0.0, -0.0, 1.0);
    setRest(b[0], kHalfPi, -0.0, 1.0);
    setRest(b[1], kTiny, -0.0, 1.0);
    for (auto *segment : {&a[1], &a[2], &b[0], &b[1]})
        segment->processed = true;

    goalBones->count = 0;
    if (options.createGoalObject != 0 && options.createGoalBone != 0)
        for (spindle::Curve *curve : {&body, &arm})
            if (!curve->noGoal) {
                curve->goalBone = 1;
                goalBones->tips[goalBones->count++] = &curve->segments[curve->segmentCount - 1];
            }
}

TypicalModel::~TypicalModel() {
    // The segments belong to this model, not to the curves.
    for (auto &curve : table->curves)
        curve.segments = nullptr;
}

std::string capture(const std::function<void(spindle::SceneText &)> &write) {
    spindle::SceneText text;
    write(text);
    return text.failed ? "<out of memory>" : std::string(text.bytes ? text.bytes : "", text.size);
}

#if !defined(_WIN32)
int runInChild(const std::function<int()> &body, std::string &log, unsigned uid) {
    int channel[2];
    if (pipe(channel) != 0)
        return -1;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        close(channel[0]);
        int result = 100;
        if (uid == 0 || (setgid(uid) == 0 && setuid(uid) == 0))
            result = body();
        const std::string &text = messageLog;
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = write(channel[1], text.data() + done, text.size() - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        _exit(result);
    }
    close(channel[1]);
    log.clear();
    char buffer[1024];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        log.append(buffer, static_cast<size_t>(n));
    close(channel[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
#endif

} // namespace scenetest
