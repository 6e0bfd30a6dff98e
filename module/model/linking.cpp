// Chain linking: bone numbers, the "_NG" rule, parents, the loop check, and
// the last pass that converts every bone and lists the goal-bone tips.
#include <algorithm>
#include <functional>

#include "module/model/model.h"

namespace spindle {

namespace {

// A curve's first point, keyed for the parent search.
struct StartKey {
    PointId point;
    int32_t curve;
};

bool keyBefore(const StartKey &a, const StartKey &b) {
    if (a.point != b.point)
        return std::less<PointId>()(a.point, b.point);
    return a.curve < b.curve;
}

bool pointBefore(const StartKey &a, PointId b) { return std::less<PointId>()(a.point, b); }
bool pointAfter(PointId a, const StartKey &b) { return std::less<PointId>()(a, b.point); }

} // namespace

int32_t linkChains(CurveTable &table, const Options &options) {
    const bool applySuffix = options.createGoalObject != 0 && options.skipGoalOnNgSuffix != 0;
    int32_t counter = 1;
    // The first points of all curves: the chain starts that look for a parent.
    static StartKey keys[kMaxCurves];
    int32_t keyCount = 0;

    for (int32_t c = 0; c < table.count; ++c) {
        Curve &curve = table.curves[c];
        if (applySuffix)
            curve.applyNoGoalSuffix();
        for (int32_t i = 0; i < curve.segmentCount; ++i) {
            BoneSegment &s = curve.segment(i);
            s.parentAcrossControl = false;
            if (i == 0) {
                s.parent = nullptr;
                if (curve.hasStartControlPoint()) {
                    s.boneNumber = -1;
                } else {
                    s.boneNumber = counter++;
                }
                keys[keyCount++] = StartKey{s.startPoint, c};
            } else {
                s.boneNumber = counter++;
                s.parent = &curve.segment(i - 1);
            }
        }
    }

    // Every segment, in collection order, becomes the parent of each other
    // curve's first segment that starts at its end point; the last one met
    // stays.
    std::sort(keys, keys + keyCount, keyBefore);
    for (int32_t o = 0; o < table.count && keyCount > 0; ++o) {
        Curve &other = table.curves[o];
        for (int32_t i = 0; i < other.segmentCount; ++i) {
            BoneSegment &t = other.segment(i);
            StartKey *k = std::lower_bound(keys, keys + keyCount, t.endPoint, pointBefore);
            StartKey *last = std::upper_bound(k, keys + keyCount, t.endPoint, pointAfter);
            for (; k != last; ++k)
                if (k->curve != o)
                    table.curves[k->curve].segment(0).parent = &t;
        }
    }

    // Behind a start control point the first bone hangs where the control
    // segment hangs.
    for (int32_t c = 0; c < table.count; ++c) {
        Curve &curve = table.curves[c];
        if (curve.hasStartControlPoint() && curve.segmentCount > 1) {
            curve.segment(1).parent = curve.segment(0).parent;
            curve.segment(1).parentAcrossControl = true;
        }
    }
    return counter - 1;
}

bool findLoop(CurveTable &table) {
    // loopMark: 0 not reached yet, 1 on the current walk, 2 known to end at
    // a root.  Each segment is marked at most twice, so the check is linear.
    for (int32_t c = 0; c < table.count; ++c) {
        Curve &curve = table.curves[c];
        for (int32_t i = 0; i < curve.segmentCount; ++i)
            curve.segment(i).loopMark = 0;
    }
    for (int32_t c = 0; c < table.count; ++c) {
        Curve &curve = table.curves[c];
        for (int32_t i = 0; i < curve.segmentCount; ++i) {
            BoneSegment *s = &curve.segment(i);
            if (s->boneNumber < 0 || s->loopMark != 0)
                continue;
            BoneSegment *p = s;
            while (p != nullptr && p->loopMark == 0) {
                p->loopMark = 1;
                p = p->parent;
            }
            if (p != nullptr && p->loopMark == 1)
                return true;
            for (BoneSegment *q = s; q != p; q = q->parent)
                q->loopMark = 2;
        }
    }
    return false;
}

int32_t countGoalBones(const CurveTable &table, const Options &options) {
    if (options.createGoalObject == 0 || options.createGoalBone == 0)
        return 0;
    int32_t count = 0;
    for (int32_t c = 0; c < table.count; ++c)
        if (table.curves[c].noGoal == 0)
            ++count;
    return count;
}

void finishChains(CurveTable &table, const Options &options, GoalBoneList &goalBones) {
    // No segment keeps a control segment as its parent: it moves up to the
    // nearest ancestor that carries a bone and, not starting at that
    // ancestor's end, is placed from the start points.
    for (int32_t c = 0; c < table.count; ++c) {
        Curve &curve = table.curves[c];
        for (int32_t i = 0; i < curve.segmentCount; ++i) {
            BoneSegment &s = curve.segment(i);
            if (s.parent == nullptr || s.parent->boneNumber >= 0)
                continue;
            BoneSegment *p = s.parent;
            while (p != nullptr && p->boneNumber < 0)
                p = p->parent;
            s.parent = p;
            s.parentAcrossControl = true;
        }
    }

    const bool goals = options.createGoalObject != 0 && options.createGoalBone != 0;
    goalBones.count = 0;
    for (int32_t c = 0; c < table.count; ++c) {
        Curve &curve = table.curves[c];
        for (int32_t i = 0; i < curve.segmentCount; ++i)
            toParentFrame(curve.segment(i));
        if (goals && curve.noGoal == 0 && curve.segmentCount > 0) {
            curve.goalBone = 1;
            goalBones.tips[goalBones.count++] = &curve.segment(curve.segmentCount - 1);
        }
    }
}

} // namespace spindle
