// Model files of a chosen size for the benchmarks and the timing script: a
// grid of quads in one layer and a rig of linked curves above it, written as
// LWO2, LWOB or OBJ.
#pragma once

#include <cstdint>
#include <string>

namespace benchmodel {

enum class Format { Lwo2, Lwob, Obj };

struct Shape {
    int64_t faces = 0;   // quads of the grid ("Skin")
    int curves = 0;      // curves of the rig ("Bone"), one chain: each starts where the one before ends
    int curvePoints = 4; // points of each curve
};

// The whole file.  LWOB indices are two bytes, so its grid has at most
// 250 x 250 cells and larger face counts go over it again.
std::string modelFile(Format format, const Shape &shape);

// "lwo2", "lwob" or "obj"; false for anything else.
bool formatNamed(const std::string &name, Format &format);

} // namespace benchmodel
