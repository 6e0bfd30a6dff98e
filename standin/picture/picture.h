// The picture of a rig: its bones and goals, placed in model space, drawn
// as an SVG document in three views.
#pragma once

#include <string>

#include "standin/scene_reader/rig.h"
#include "standin/scene_reader/scene_reader.h"

namespace standin {

// Writes the skeleton of `scene`, placed by `placement`, as an SVG document
// of three views side by side, one scale for all three: front (x right,
// y up), side (looking along -x: z right, y up) and top (looking down:
// x right, z up).  Each view (<g class="view" data-view="front|side|top">)
// has its label, an axis cross at the model origin (at the view's lower left
// corner when the origin lies outside it) and a scale bar of a round length
// (1, 2 or 5 times a power of ten model units).  The drawing fills the views
// whatever the model's size; a single point is drawn one unit across.
//
// Every bone is one element in each view, so three in all, each with its
// own <title>: <polygon class="bone" data-bone="N">, N its number from 1
// among the bones in file order.  It is a kite from base to tip, wide near
// the base; a bone seen end-on or nearly (under 4 pixels long), or with one
// end not finite, is a small diamond.  The title reads "N NAME (parent: M
// PARENT)", or names the parent object, or "none".  The fill is the bone's
// colour (ShowBone 1..7: blue, green, cyan, red, purple, yellow, white;
// grey otherwise); an inactive bone is dashed and paler.
//
// A null some bone has as its goal is <g class="goal"> (a circle with a
// cross, in the null's own colour, titled "NAME (goal of N BONE, ...)")
// with a <line class="goal-link" data-bone="N"> from the tip of each bone
// that reaches for it; other nulls are small grey squares (<rect
// class="null">).  Objects, lights and cameras are not drawn.  Points that
// are not finite, or that `placement` lacks, are left out.
std::string rigPicture(const Scene &scene, const RigPlacement &placement);

} // namespace standin
