// Reads back a glTF file as the tests and the fuzz target check it: the
// GLB container or the data URI, the JSON, and every reference and byte
// range inside the document.  Header-only, shared with the fuzz target.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "gltf/json_value.h"

namespace gltfcheck {

struct GltfFile {
    JsonValue json;
    std::string buffer; // the binary buffer: the GLB's BIN chunk, or the decoded data URI
};

inline uint32_t word(const std::string &bytes, size_t at) {
    uint32_t w = 0;
    for (int i = 3; i >= 0; --i)
        w = w << 8 | uint8_t(bytes[at + size_t(i)]);
    return w;
}

inline bool decodeBase64(const std::string &text, std::string &out) {
    static const std::string kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (text.size() % 4 != 0)
        return false;
    uint32_t bits = 0;
    int held = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=') {
            if (i + 2 < text.size() || (i + 1 < text.size() && text[i + 1] != '='))
                return false;
            break;
        }
        const size_t v = kDigits.find(text[i]);
        if (v == std::string::npos)
            return false;
        bits = bits << 6 | uint32_t(v);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out += char((bits >> held) & 0xFF);
        }
    }
    return true;
}

// Every number in the tree is finite.
inline bool allFinite(const JsonValue &value) {
    if (value.kind == JsonValue::Number && !std::isfinite(value.number))
        return false;
    for (const JsonValue &item : value.items)
        if (!allFinite(item))
            return false;
    for (const JsonValue &member : value.values)
        if (!allFinite(member))
            return false;
    return true;
}

// The array `key` of `object` (an empty one when absent).
inline const std::vector<JsonValue> &list(const JsonValue &object, const char *key) {
    static const std::vector<JsonValue> none;
    const JsonValue *value = object.get(key);
    return value && value->kind == JsonValue::Array ? value->items : none;
}

// A member that must be an index below `limit` when present.
inline bool indexOk(const JsonValue &object, const char *key, size_t limit) {
    const JsonValue *value = object.get(key);
    return !value ||
        (value->kind == JsonValue::Number && value->number >= 0 && value->number < double(limit) &&
         value->number == std::floor(value->number));
}

inline size_t sizeOf(const JsonValue &object, const char *key) {
    const JsonValue *value = object.get(key);
    return value && value->kind == JsonValue::Number && value->number >= 0 ? size_t(value->number) : 0;
}

// Checks a whole .glb or .gltf file; "" when sound, else what is wrong.
inline std::string checkGltf(const std::string &bytes, GltfFile &file) {
    std::string json;
    const bool binary = bytes.size() >= 4 && bytes.compare(0, 4, "glTF") == 0;
    if (binary) {
        if (bytes.size() < 20 || word(bytes, 4) != 2 || word(bytes, 8) != bytes.size())
            return "bad GLB header";
        const size_t jsonLength = word(bytes, 12);
        if (word(bytes, 16) != 0x4E4F534Au || jsonLength % 4 != 0 || 20 + jsonLength > bytes.size())
            return "bad JSON chunk";
        json = bytes.substr(20, jsonLength);
        size_t at = 20 + jsonLength;
        if (at < bytes.size()) {
            if (at + 8 > bytes.size() || word(bytes, at + 4) != 0x004E4942u || word(bytes, at) % 4 != 0 ||
                at + 8 + word(bytes, at) != bytes.size())
                return "bad BIN chunk";
            file.buffer = bytes.substr(at + 8);
        }
    } else {
        json = bytes;
    }
    std::string error;
    if (!JsonReader(json).read(file.json, error))
        return error;
    const JsonValue &root = file.json;
    if (root.kind != JsonValue::Object || !allFinite(root))
        return "JSON is not an object of finite numbers";
    const std::vector<JsonValue> &buffers = list(root, "buffers");
    if (buffers.size() > 1)
        return "more than one buffer";
    if (!buffers.empty()) {
        const JsonValue *uri = buffers[0].get("uri");
        if (!binary) {
            static const std::string kPrefix = "data:application/octet-stream;base64,";
            if (!uri || uri->text.compare(0, kPrefix.size(), kPrefix) != 0 ||
                !decodeBase64(uri->text.substr(kPrefix.size()), file.buffer))
                return "buffer is not a base64 data URI";
        }
        if (sizeOf(buffers[0], "byteLength") > file.buffer.size() ||
            sizeOf(buffers[0], "byteLength") + 3 < file.buffer.size())
            return "buffer length does not match its bytes";
    }
    const size_t bufferLength = buffers.empty() ? 0 : sizeOf(buffers[0], "byteLength");
    const std::vector<JsonValue> &views = list(root, "bufferViews");
    for (const JsonValue &view : views)
        if (!indexOk(view, "buffer", buffers.size()) ||
            sizeOf(view, "byteOffset") + sizeOf(view, "byteLength") > bufferLength)
            return "buffer view outside the buffer";
    const std::vector<JsonValue> &accessors = list(root, "accessors");
    for (const JsonValue &accessor : accessors) {
        if (!accessor.get("bufferView") || !indexOk(accessor, "bufferView", views.size()))
            return "accessor without a buffer view";
        const JsonValue &view = views[sizeOf(accessor, "bufferView")];
        const size_t component = sizeOf(accessor, "componentType") >= 5125 ? 4
            : sizeOf(accessor, "componentType") >= 5122                    ? 2
                                                                           : 1;
        const JsonValue *type = accessor.get("type");
        const std::string kind = type ? type->text : "";
        const size_t n = kind == "SCALAR"      ? 1
            : kind == "VEC2"                   ? 2
            : kind == "VEC3"                   ? 3
            : kind == "VEC4" || kind == "MAT2" ? 4
            : kind == "MAT3"                   ? 9
            : kind == "MAT4"                   ? 16
                                               : 0;
        const size_t count = sizeOf(accessor, "count");
        const size_t stride = sizeOf(view, "byteStride") ? sizeOf(view, "byteStride") : n * component;
        if (n == 0 || count == 0 ||
            sizeOf(accessor, "byteOffset") + (count - 1) * stride + n * component > sizeOf(view, "byteLength"))
            return "accessor outside its buffer view";
    }
    const size_t nodes = list(root, "nodes").size();
    for (const JsonValue &scene : list(root, "scenes"))
        for (const JsonValue &node : list(scene, "nodes"))
            if (node.kind != JsonValue::Number || node.number < 0 || node.number >= double(nodes))
                return "scene names a node that is not there";
    for (const JsonValue &node : list(root, "nodes")) {
        if (!node.get("name") || node.get("name")->kind != JsonValue::String)
            return "node without a name";
        for (const JsonValue &child : list(node, "children"))
            if (child.kind != JsonValue::Number || child.number < 0 || child.number >= double(nodes))
                return "child that is not there";
        if (!indexOk(node, "skin", list(root, "skins").size()) || !indexOk(node, "mesh", list(root, "meshes").size()))
            return "node names a skin or mesh that is not there";
    }
    for (const JsonValue &skin : list(root, "skins")) {
        for (const JsonValue &joint : list(skin, "joints"))
            if (joint.kind != JsonValue::Number || joint.number < 0 || joint.number >= double(nodes))
                return "joint that is not there";
        if (!indexOk(skin, "inverseBindMatrices", accessors.size()))
            return "inverse bind matrices that are not there";
        if (skin.get("inverseBindMatrices") &&
            sizeOf(accessors[sizeOf(skin, "inverseBindMatrices")], "count") != list(skin, "joints").size())
            return "not one inverse bind matrix per joint";
    }
    return {};
}

// The numbers of accessor `index`, any component type, tightly packed.
inline std::vector<double> accessorValues(const GltfFile &file, size_t index) {
    const JsonValue &accessor = list(file.json, "accessors").at(index);
    const JsonValue &view = list(file.json, "bufferViews").at(sizeOf(accessor, "bufferView"));
    const int type = int(sizeOf(accessor, "componentType"));
    const std::string kind = accessor.get("type")->text;
    const size_t width = kind == "SCALAR" ? 1 : kind == "VEC3" ? 3 : kind == "VEC4" ? 4 : 16;
    const size_t bytes = type == 5121 ? 1 : type == 5123 ? 2 : 4;
    const char *at = file.buffer.data() + sizeOf(view, "byteOffset") + sizeOf(accessor, "byteOffset");
    std::vector<double> out(width * sizeOf(accessor, "count"));
    for (size_t i = 0; i < out.size(); ++i, at += bytes) {
        uint32_t u = 0;
        std::memcpy(&u, at, bytes);
        float f;
        std::memcpy(&f, &u, 4);
        out[i] = type == 5126 ? double(f) : double(u);
    }
    return out;
}

} // namespace gltfcheck
