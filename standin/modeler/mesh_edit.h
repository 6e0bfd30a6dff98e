// The command context and its mesh edit over an in-memory model: the
// polygon scan, point records and the end of the edit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host.h"
#include "standin/mesh/mesh.h"
#include "standin/modeler/host_config.h"
#include "standin/modeler/transcript.h"

namespace standin {

// What the mesh edit works on and how it answers.
struct MeshEditSession {
    // The model and how the host answers (mesh, foreground,
    // selectedSurfaces, refuseMeshEdit, refusePointInfo), and where the
    // calls are told; both must be set.
    const HostConfig *config = nullptr;
    Transcript *transcript = nullptr;
    int begun = 0; // edits begun and ended in this session
    int done = 0;
};

// The command context whose editBegin works on `session` until the next call.
// A point id says where the point is among the mesh's points (its layer and
// its index there); pointInfo fills one record when asked, at a cost that
// does not grow with the number of layers.
CommandContext *commandContext(MeshEditSession &session);

} // namespace standin
