// Model files of a chosen size for the benchmarks and the timing script: a
// grid of quads in one layer and a rig of linked curves above it, written as
// LWO2, LWOB or OBJ.
#pragma once

#include <cstdint>
#include <string>

namespace benchmodel {

enum class Format { Lwo2, Lwob, Obj };

// Where the rig stands against the quads, for timing the skin weights in
// layouts unlike a body's:
//   Helix   a helix rising above one corner of a flat sheet (the first one)
//   Corner  all the bones packed low over one corner of the sheet
//   Spread  the chain winding just above the sheet, over the whole of it
//   Inside  the sheet rolled into a tube around the chain, as a body is
//   Ground  half the quads a tube around the helix, standing in the middle
//           of a ground sheet of the other half
enum class RigLayout { Helix, Corner, Spread, Inside, Ground };

struct Shape {
    int64_t faces = 0;   // quads of the grid ("Skin")
    int curves = 0;      // curves of the rig ("Bone"), one chain: each starts where the one before ends
    int curvePoints = 4; // points of each curve
    RigLayout rig = RigLayout::Helix;
};

// The whole file.  LWOB indices are two bytes, so its grid has at most
// 250 x 250 cells and larger face counts go over it again.
std::string modelFile(Format format, const Shape &shape);

// "lwo2", "lwob" or "obj"; false for anything else.
bool formatNamed(const std::string &name, Format &format);

// "helix", "corner", "spread", "inside" or "ground"; false for anything else.
bool rigNamed(const std::string &name, RigLayout &rig);

} // namespace benchmodel
