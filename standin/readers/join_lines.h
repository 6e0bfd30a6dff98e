// Lines joined into curves, for OBJ models (--join-lines): a model drawn as
// loose edges has one `l` element per edge, and each would be a curve, a
// chain and a goal of its own.
#pragma once

#include "standin/mesh/mesh.h"

namespace standin {

// Joins the curves of each layer that continue one another: a curve ending
// at a point joins the curve starting there when exactly one curve ends
// and exactly one starts at that point, no other curve passes through it,
// and both are of the same surface.  A joined curve takes the place of its
// first curve among the polygons (a ring of curves starts at its first in
// file order); every other polygon keeps its place.  Returns the number of
// joins made.  The mesh is rebuilt only when there is at least one join;
// otherwise it is left exactly as it was.
size_t joinLines(Mesh &mesh);

} // namespace standin
