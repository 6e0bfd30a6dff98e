// The notes the command adds after a run on how the model's curves link.
#pragma once

#include "standin/mesh/mesh.h"

#include <string>
#include <vector>

namespace standin {

// The two linking mistakes riggers make most, found among the curves a run
// collects (selected curves of two or more points in the foreground layers;
// empty lists: every layer, every surface): a curve that starts at the
// first point of another curve, and a curve that starts where another
// curve has a point but not at that point.  One line per finding, each
// beginning "spindle: note: ", without its line end.
std::vector<std::string> linkingNotes(const Mesh &mesh, const std::vector<int> &foreground,
                                      const std::vector<std::string> &selectedSurfaces);

} // namespace standin
