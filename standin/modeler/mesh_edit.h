// The command context and its mesh edit over an in-memory model: the
// polygon scan, point records and the end of the edit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host.h"
#include "standin/mesh/mesh.h"
#include "standin/modeler/transcript.h"

namespace standin {

// What the mesh edit works on and how it answers.
struct MeshEditRoom {
    const Mesh *mesh = nullptr;                // null: an empty model
    std::vector<int32_t> foreground;           // layer numbers scanned; empty: every layer
    std::vector<std::string> selectedSurfaces; // surfaces whose polygons are selected; empty: all
    bool refuseMeshEdit = false;               // editBegin answers null
    bool refusePointInfo = false;              // pointInfo answers null
    Transcript *transcript = nullptr;          // must be set
    int begun = 0;                             // edits begun and ended in this room
    int done = 0;
};

// The command context whose editBegin works on `room` until the next call.
// A point id says where the point is among the mesh's points (its layer and
// its index there); pointInfo fills one record when asked, at a cost that
// does not grow with the number of layers.
CommandContext *commandContext(MeshEditRoom &room);

} // namespace standin
