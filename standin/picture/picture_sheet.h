// The rig picture's page: the three views, where model points fall in each
// (one scale for all), and each view's frame, label, axis cross and scale
// bar.  Used by picture.cpp only.
#pragma once

#include <cmath>
#include <string>

#include "standin/scene_reader/scene_reader.h"

namespace standin::sheet {

// Page layout, in pixels.
constexpr double kViewSize = 320;   // each view is a square this wide
constexpr double kGap = 12;         // around and between the views
constexpr double kInsetSide = 22;   // the drawing's room inside a view:
constexpr double kInsetTop = 34;    // below the label,
constexpr double kInsetBottom = 42; // above the scale bar and corner axes
constexpr double kPageWidth = 3 * kViewSize + 4 * kGap, kPageHeight = kViewSize + 2 * kGap;

struct View {
    const char *id;
    const char *label;
    int across, up; // the model axes drawn to the right and upwards
};

// Front; side, looking along -x; top, looking down.
constexpr View kViews[3] = {{"front", "Front: x right, y up", 0, 1},
                            {"side", "Side (looking along -x): z right, y up", 2, 1},
                            {"top", "Top (looking down): x right, z up", 0, 2}};

inline bool finite(const Vec3 &p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }

struct Pixel {
    double x = 0, y = 0;
    bool ok = false; // false: the point is not finite, or falls beyond any number
};

// Where model points fall in view `view` (0..2).  `middle` and `half` are
// the middle of the model's bounds and half its largest extent; every view
// is drawn at the same scale, `half` model units to `halfPixels`.  Model
// coordinates are halved before they are subtracted, so that no difference
// overflows however far apart the points are.
struct Mapping {
    Mapping(int view, const Vec3 &middle, double half);

    const View &view;
    Vec3 middle;
    double half;
    double halfPixels;
    double left, top;        // the view's corner
    double centerX, centerY; // the drawing's middle

    double pixelsOf(double length) const { return length / half * halfPixels; }
    Pixel at(const Vec3 &p) const;
    bool inside(const Pixel &p) const; // within the drawing's room
};

// SVG elements, with their coordinates written by pixels().
std::string point(double x, double y); // "x,y" for a polygon's points
std::string line(const char *cls, double x1, double y1, double x2, double y2, const std::string &style);

// The view's frame, label, axis cross (at the model origin when the view
// shows it, else in the lower left corner; <g class="axes" data-at="origin">
// or "corner") and scale bar (<line class="scale-bar"> and its length in
// <text class="scale-label">).
std::string viewDecor(const Mapping &m);

} // namespace standin::sheet
