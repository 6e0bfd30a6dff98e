// The document's records and their JSON text.
#include "standin/gltf/document.h"

#include <bit>
#include <cstring>

#include "standin/gltf/json_text.h"

namespace standin::gltf {

// The buffer holds numbers as the machine does; glTF wants little-endian.
static_assert(std::endian::native == std::endian::little);

namespace {

// Writes one member ("name":) after a comma where one is due.
struct ObjectWriter {
    std::string &out;
    bool first = true;
    explicit ObjectWriter(std::string &o) : out(o) { out += '{'; }
    void key(const std::string &name) {
        if (!first)
            out += ',';
        appendJsonString(out, name);
        out += ':';
        first = false;
    }
    void number(const std::string &name, double value) {
        key(name);
        appendJsonNumber(out, value);
    }
    void string(const std::string &name, const std::string &value) {
        key(name);
        appendJsonString(out, value);
    }
    template <typename Values>
    void numbers(const std::string &name, const Values &values) {
        key(name);
        out += '[';
        bool firstValue = true;
        for (const auto value : values) {
            if (!firstValue)
                out += ',';
            appendJsonNumber(out, static_cast<double>(value));
            firstValue = false;
        }
        out += ']';
    }
    void end() { out += '}'; }
};

// `"name":[item,item]`, each item written by `write`; nothing for none.
template <typename Items, typename Write>
void array(ObjectWriter &object, const char *name, const Items &items, Write write) {
    if (items.empty())
        return;
    object.key(name);
    object.out += '[';
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            object.out += ',';
        write(items[i]);
    }
    object.out += "]\n";
}

void writeExtras(ObjectWriter &object, const Extras &extras) {
    if (extras.empty())
        return;
    object.key("extras");
    ObjectWriter inner(object.out);
    for (const auto &[name, value] : extras)
        inner.string(name, value);
    inner.end();
}

void writeNode(std::string &out, const Node &node) {
    ObjectWriter object(out);
    object.string("name", node.name);
    if (!node.children.empty())
        object.numbers("children", node.children);
    if (node.translation != std::array<double, 3>{0, 0, 0})
        object.numbers("translation", node.translation);
    if (node.rotation != std::array<double, 4>{0, 0, 0, 1})
        object.numbers("rotation", node.rotation);
    if (node.mesh >= 0)
        object.number("mesh", node.mesh);
    if (node.skin >= 0)
        object.number("skin", node.skin);
    writeExtras(object, node.extras);
    object.end();
}

void writeMaterial(std::string &out, const Material &material) {
    ObjectWriter object(out);
    object.string("name", material.name);
    object.key("pbrMetallicRoughness");
    ObjectWriter pbr(out);
    pbr.numbers("baseColorFactor", material.baseColor);
    pbr.number("metallicFactor", material.metallic);
    pbr.number("roughnessFactor", material.roughness);
    pbr.end();
    if (material.doubleSided) {
        object.key("doubleSided");
        out += "true";
    }
    object.end();
}

void writeMesh(std::string &out, const MeshRecord &mesh) {
    ObjectWriter object(out);
    object.string("name", mesh.name);
    array(object, "primitives", mesh.primitives, [&](const Primitive &primitive) {
        ObjectWriter p(out);
        p.key("attributes");
        ObjectWriter attributes(out);
        for (const auto &[name, accessor] : primitive.attributes)
            attributes.number(name, accessor);
        attributes.end();
        if (primitive.indices >= 0)
            p.number("indices", primitive.indices);
        if (primitive.material >= 0)
            p.number("material", primitive.material);
        p.end();
    });
    object.end();
}

void writeAccessor(std::string &out, const Accessor &accessor) {
    ObjectWriter object(out);
    object.number("bufferView", accessor.bufferView);
    if (accessor.offset != 0)
        object.number("byteOffset", static_cast<double>(accessor.offset));
    object.number("componentType", accessor.componentType);
    if (accessor.normalized) {
        object.key("normalized");
        out += "true";
    }
    object.number("count", static_cast<double>(accessor.count));
    object.string("type", accessor.type);
    if (!accessor.min.empty())
        object.numbers("min", accessor.min);
    if (!accessor.max.empty())
        object.numbers("max", accessor.max);
    object.end();
}

} // namespace

int addBlock(Document &document, const void *data, size_t size, int target, size_t stride) {
    std::vector<uint8_t> &buffer = document.buffer;
    const size_t offset = (buffer.size() + 3) & ~size_t(3);
    buffer.resize(offset + size);
    if (data && size > 0)
        std::memcpy(buffer.data() + offset, data, size);
    document.bufferViews.push_back(BufferView{offset, size, stride, target});
    return static_cast<int>(document.bufferViews.size() - 1);
}

namespace {

size_t padded(size_t size) { return (size + 3) & ~size_t(3); }

// Where the owned blocks start in the whole buffer.
size_t ownedStart(const Document &document) { return padded(document.buffer.size()); }

} // namespace

int addOwnedBytes(Document &document, OwnedBlock block, int target) {
    size_t offset = 0;
    for (const OwnedBlock &b : document.owned)
        offset += padded(b.size);
    document.bufferViews.push_back(BufferView{offset, block.size, 0, target, true});
    document.owned.push_back(std::move(block));
    return static_cast<int>(document.bufferViews.size() - 1);
}

size_t bufferLength(const Document &document) {
    size_t length = ownedStart(document);
    for (const OwnedBlock &b : document.owned)
        length += padded(b.size);
    return length;
}

std::vector<std::string_view> bufferPieces(const Document &document) {
    static const char kZeros[4] = {0, 0, 0, 0};
    std::vector<std::string_view> pieces;
    const auto add = [&](const uint8_t *data, size_t size) {
        if (size > 0)
            pieces.emplace_back(reinterpret_cast<const char *>(data), size);
        if (padded(size) > size)
            pieces.emplace_back(kZeros, padded(size) - size);
    };
    add(document.buffer.data(), document.buffer.size());
    for (const OwnedBlock &b : document.owned)
        add(b.data, b.size);
    return pieces;
}

int addAccessor(Document &document, const Accessor &accessor) {
    document.accessors.push_back(accessor);
    return static_cast<int>(document.accessors.size() - 1);
}

std::string gltfJson(const Document &document, const std::string &bufferUri) {
    std::string out;
    out.reserve(256 + 160 * document.nodes.size() + bufferUri.size());
    ObjectWriter root(out);
    root.key("asset");
    ObjectWriter asset(out);
    asset.string("version", "2.0");
    if (!document.generator.empty())
        asset.string("generator", document.generator);
    asset.end();
    out += '\n';
    root.number("scene", 0);
    root.key("scenes");
    out += '[';
    ObjectWriter scene(out);
    if (!document.sceneNodes.empty())
        scene.numbers("nodes", document.sceneNodes);
    scene.end();
    out += "]\n";
    array(root, "nodes", document.nodes, [&](const Node &node) { writeNode(out, node); });
    array(root, "skins", document.skins, [&](const Skin &skin) {
        ObjectWriter object(out);
        if (skin.inverseBindMatrices >= 0)
            object.number("inverseBindMatrices", skin.inverseBindMatrices);
        object.numbers("joints", skin.joints);
        object.end();
    });
    array(root, "meshes", document.meshes, [&](const MeshRecord &mesh) { writeMesh(out, mesh); });
    array(root, "materials", document.materials, [&](const Material &material) { writeMaterial(out, material); });
    array(root, "accessors", document.accessors, [&](const Accessor &accessor) { writeAccessor(out, accessor); });
    array(root, "bufferViews", document.bufferViews, [&](const BufferView &view) {
        ObjectWriter object(out);
        object.number("buffer", 0);
        const size_t offset = view.owned ? ownedStart(document) + view.offset : view.offset;
        if (offset != 0)
            object.number("byteOffset", static_cast<double>(offset));
        object.number("byteLength", static_cast<double>(view.length));
        if (view.stride != 0)
            object.number("byteStride", static_cast<double>(view.stride));
        if (view.target != kNoTarget)
            object.number("target", view.target);
        object.end();
    });
    const size_t length = bufferLength(document);
    if (length > 0) {
        root.key("buffers");
        out += '[';
        ObjectWriter buffer(out);
        buffer.number("byteLength", static_cast<double>(length));
        if (!bufferUri.empty())
            buffer.string("uri", bufferUri);
        buffer.end();
        out += "]\n";
    }
    root.end();
    return out;
}

} // namespace standin::gltf
