// The curve and bone model: the curve table filled by the polygon scan, the
// bone segments of each curve, the linking of chains into one hierarchy,
// and the conversion of every bone into its parent's frame.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host.h"
#include "module/panel/panel.h"

namespace spindle {

inline constexpr int kMaxCurves = 1000;      // curves in the table
inline constexpr int kLongCurvePoints = 256; // more points than this: warning
inline constexpr int kNameSize = 80;         // surface name with terminator
inline constexpr int kMaxBones = 4096;       // bones a scene's item ids can name

struct Curve;

// One bone between two successive curve points.  Positions are model units,
// angles radians; heading is atan2(x, z) of the direction, pitch −asin(y).
struct BoneSegment {
    double start[3];
    double end[3];
    double direction[3];
    double length;
    double worldHeading;
    double worldPitch;
    double worldBank;
    double restHeading;
    double restPitch;
    double restBank;
    double restPosition[3];
    PointId startPoint;
    PointId endPoint;
    int32_t boneNumber;     // from 1; −1 for a start control segment
    bool processed = false; // converted into its parent's frame
    bool parentAcrossControl = false;
    uint8_t loopMark = 0; // working mark of the loop check
    BoneSegment *parent = nullptr;
    Curve *curve = nullptr;
    // sin and cos of restHeading and restPitch as the parent frames last
    // used them, with the two angles they were taken of: recomputed only
    // when an angle has changed since (compared bit for bit).
    double frameSinHeading = 0.0;
    double frameCosHeading = 0.0;
    double frameSinPitch = 0.0;
    double frameCosPitch = 0.0;
    uint64_t frameHeadingBits = ~uint64_t(0); // a NaN's bits: no angle yet
    uint64_t framePitchBits = ~uint64_t(0);

    // Reads both points through host.meshEdit->pointInfo and fills start,
    // end, direction, length and the angles (rest values equal to the
    // model-space ones).  Returns this, or null when the host has no record
    // for either point.
    BoneSegment *setFromPoints(PointId startPoint, PointId endPoint);
};

// sqrt((x·x + y·y) + z·z).
double vectorLength(double x, double y, double z);

// The pitch of a unit direction whose y component is `y`: -asin(y).  Rounding
// can take a unit vector's y a hair past 1 or -1 (a bone straight up or down
// after a rotation); that counts as 1 or -1, so the pitch is never NaN.
double pitchOf(double y);
// (angle × 180) ÷ π.
double radiansToDegrees(double angle);

// Test seam for a shortage of memory: when set, asked before every heap
// allocation of the model (segment arrays, the closed-curve index) with its
// size in bytes; true makes that allocation fail.  Null in a real run.
extern bool (*failAllocation)(std::size_t bytes);

// Outcome of filling a curve from a polygon.
enum class FillResult { Filled, NoMemory, UnreadablePoint, ZeroLength };

// One collected curve polygon.  Owns its segment array.
struct Curve {
    uint8_t noGoal = 0;   // surface name ended in "_NG" (and was cut)
    uint8_t goalBone = 0; // a goal bone extends this curve's tip
    int32_t segmentCount = 0;
    PolygonInfo polygon{}; // the host's record, copied whole
    BoneSegment *segments = nullptr;
    char name[kNameSize] = {};

    Curve() = default;
    Curve(const Curve &) = delete;
    Curve &operator=(const Curve &) = delete;
    ~Curve() { release(); }

    // Copies the polygon record and its surface name (cut to 79 bytes at a
    // character boundary), allocates one segment per pair of successive
    // points and fills each through setFromPoints.  Frees any old array
    // first.  Fails when the array cannot be allocated, a point has no
    // record, or two successive points lie at one position (length 0); on
    // failure the curve owns no segments and segmentCount is 0.
    FillResult fill(const PolygonInfo &polygon);
    BoneSegment &segment(int32_t index) { return segments[index]; }
    const BoneSegment &segment(int32_t index) const { return segments[index]; }
    bool hasStartControlPoint() const { return (polygon.flags & HOST_POLY_START_CONTROL) != 0; }
    // Cuts a trailing "_NG" off a name longer than three bytes and sets
    // noGoal; otherwise clears noGoal.
    void applyNoGoalSuffix();
    // Frees the segment array, if any.
    void release();
};

// The run's curves in collection order.  Lives in the activation's storage.
struct CurveTable {
    Curve curves[kMaxCurves];
    int32_t count = 0;

    void release(); // releases every curve's segments
};

// The tip segments that get goal bones, in curve order: at most one per
// curve.
struct GoalBoneList {
    BoneSegment *tips[kMaxCurves];
    int32_t count = 0;
};

// The polygon-scan callback: userData is the CurveTable.  Passes over what
// is not a usable curve, warns of a curve over 256 points, refuses closed
// curves and a 1001st curve, and fills the next curve otherwise.  Every
// failure (closed curve, table full, no memory, unreadable point, zero-length
// bone) is shown through showError and answered with HOST_SCAN_STOP; a curve
// that fails to fill is not counted.  Returns 0 to go on.
int32_t collectCurve(void *userData, const PolygonInfo *polygon);

// Numbers the bones, applies the "_NG" rule and links every segment to its
// parent (a curve's first segment to the last segment, in collection order,
// of another curve that ends where it starts).  Returns the number of chain
// bones.  Uses no heap.
int32_t linkChains(CurveTable &table, const Options &options);

// True when some bone's ancestry comes back on itself (control segments
// included).  Linear in the number of segments; uses loopMark.
bool findLoop(CurveTable &table);

// The number of goal bones finishChains will list with these options.
int32_t countGoalBones(const CurveTable &table, const Options &options);

// Re-parents every segment whose parent is a control segment onto its
// nearest ancestor that carries a bone (marking it parentAcrossControl),
// converts every segment into its parent's frame and lists the goal-bone
// tips.  Requires findLoop to have answered false.
void finishChains(CurveTable &table, const Options &options, GoalBoneList &goalBones);

// Converts one segment into its parent's frame, parents first, at most once.
// Recurses once per ancestor; the parent chain must end at a root.
void toParentFrame(BoneSegment &segment);

// Turns the model-space vector (x, y, z) into the frame of `frame`.
void rotateIntoFrame(BoneSegment &frame, double &x, double &y, double &z);

// Turns (x, y, z) into a frame turned by `heading` and then `pitch`
// (radians): the one rotation of the model, shared by the parent frames
// and the goal nulls.
void rotateByHeadingPitch(double heading, double pitch, double &x, double &y, double &z);

} // namespace spindle
