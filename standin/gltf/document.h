// A glTF 2.0 document as plain records: nodes, skins, meshes, materials,
// and accessors and buffer views over one binary buffer.  Builders fill the
// records and append their binary data to the buffer in whole blocks;
// gltfJson turns the records into the document's JSON text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace standin::gltf {

// Component types and buffer view targets, as glTF numbers them.
enum ComponentType : int {
    kUnsignedByte = 5121,
    kUnsignedShort = 5123,
    kUnsignedInt = 5125,
    kFloat = 5126,
};
enum BufferTarget : int {
    kNoTarget = 0,
    kArrayBuffer = 34962,        // vertex attributes
    kElementArrayBuffer = 34963, // indices
};

// Extras are string pairs: {"goalFor": "Arm"}.
using Extras = std::vector<std::pair<std::string, std::string>>;

struct Node {
    std::string name; // valid UTF-8 (see names.h); escaped when written
    std::vector<int> children;
    std::array<double, 3> translation{0, 0, 0};
    std::array<double, 4> rotation{0, 0, 0, 1}; // unit quaternion x, y, z, w
    int mesh = -1;
    int skin = -1;
    Extras extras;
};

struct Skin {
    std::vector<int> joints;      // node indices
    int inverseBindMatrices = -1; // accessor of MAT4 floats, one per joint
};

struct Material {
    std::string name;
    std::array<double, 4> baseColor{0.5, 0.5, 0.5, 1};
    double metallic = 0;
    double roughness = 1;
    bool doubleSided = false;
};

struct Primitive {
    std::vector<std::pair<std::string, int>> attributes; // "POSITION" -> accessor, in the order written
    int indices = -1;
    int material = -1;
};

struct MeshRecord {
    std::string name;
    std::vector<Primitive> primitives;
};

// A view of the buffer; offsets are 4-byte aligned by addBlock and
// addOwnedBlock.
struct BufferView {
    size_t offset = 0; // in `buffer`, or for an owned block from the start of the owned blocks
    size_t length = 0;
    size_t stride = 0; // 0: tightly packed
    int target = kNoTarget;
    bool owned = false; // one of Document::owned, which follow `buffer` in the file
};

// A block of the buffer held outside Document::buffer: an array moved in
// whole (a mesh's positions, indices, ...), so that large arrays are never
// copied on their way to the file.
struct OwnedBlock {
    std::shared_ptr<const void> owner; // keeps the bytes alive
    const uint8_t *data = nullptr;
    size_t size = 0;
};

struct Accessor {
    int bufferView = -1;
    size_t offset = 0; // within the view
    int componentType = kFloat;
    size_t count = 0;
    std::string type = "SCALAR"; // "VEC3", "MAT4", ...
    bool normalized = false;
    std::vector<double> min, max; // empty: not written (POSITION needs them)
};

struct Document {
    std::string generator;
    std::vector<int> sceneNodes; // the roots of the one scene
    std::vector<Node> nodes;
    std::vector<Skin> skins;
    std::vector<MeshRecord> meshes;
    std::vector<Material> materials;
    std::vector<Accessor> accessors;
    std::vector<BufferView> bufferViews;
    std::vector<uint8_t> buffer;   // the binary buffer's first part; its length is padded to 4 when written
    std::vector<OwnedBlock> owned; // its other parts, in order, each padded to 4
};

// Appends `size` bytes (copied from `data`, or zeros when null) to the
// buffer at the next 4-byte boundary as a new buffer view; returns the
// view's index.
int addBlock(Document &document, const void *data, size_t size, int target = kNoTarget, size_t stride = 0);

// Adds bytes held by their owner (see OwnedBlock) as a new buffer view;
// returns the view's index.
int addOwnedBytes(Document &document, OwnedBlock block, int target);

// Moves `array` into the document as a new buffer view of its bytes, kept
// as it is (see OwnedBlock); returns the view's index.
template <typename T>
int addOwnedBlock(Document &document, std::vector<T> &&array, int target = kNoTarget) {
    auto owner = std::make_shared<std::vector<T>>(std::move(array));
    const uint8_t *data = reinterpret_cast<const uint8_t *>(owner->data());
    const size_t size = owner->size() * sizeof(T);
    return addOwnedBytes(document, OwnedBlock{std::move(owner), data, size}, target);
}

// The length of the whole binary buffer: `buffer` and the owned blocks,
// each padded to 4 (the last one too).
size_t bufferLength(const Document &document);

// The whole binary buffer as pieces in order, padding included.
std::vector<std::string_view> bufferPieces(const Document &document);

// Adds an accessor; returns its index.
int addAccessor(Document &document, const Accessor &accessor);

// The JSON text of the document.  `bufferUri` is the buffer's uri (a data
// URI for .gltf), or empty for the GLB's own binary chunk.  The buffer is
// left out when it is empty.
std::string gltfJson(const Document &document, const std::string &bufferUri);

} // namespace standin::gltf
