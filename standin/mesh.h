// The stand-in modeler's model: what a model file holds, as the mesh edit
// hands it to a module.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace standin {

struct MeshPolygon {
    uint32_t type = 0;         // four-character code, first character high ('FACE', 'CURV', ...)
    bool startControl = false; // curve: the first point is a control point
    bool endControl = false;   // curve: the last point is a control point
    uint32_t surface = 0;      // index into Mesh::surfaces
    // Indices into the layer's points.  Any number, none included: the
    // readers keep what the file holds and the scan hands every polygon on.
    std::vector<uint32_t> points;
};

struct MeshLayer {
    int32_t number = 1; // as the modeler shows it: the first layer is 1
    std::string name;
    std::vector<std::array<double, 3>> points;
    std::vector<MeshPolygon> polygons; // in file order
};

struct Mesh {
    std::string format;                // "LWO2", "LWOB", "LWLO" or "OBJ"
    std::vector<std::string> surfaces; // surface names; "Default" when none
    std::vector<MeshLayer> layers;     // in file order
};

// Reads a model file, telling its format by content.  On failure returns
// false and sets `reason` to one line, without the file name: where the
// file went wrong (byte offset or line) and why, or why it is no model file
// at all (a folder, a device, a file that cannot be read) or could not be
// read whole ("not enough memory to read it").  The format is told from the
// first bytes, so a file of no known format is refused without reading the
// rest; a FIFO without a writer reads as empty.
bool readMesh(const std::string &path, Mesh &mesh, std::string &reason);

// The same for bytes already in memory.
bool readMeshBytes(const uint8_t *data, size_t size, Mesh &mesh, std::string &reason);

} // namespace standin
