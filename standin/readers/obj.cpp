// Reader for Wavefront OBJ text: `v` points, `f` faces, `l` lines as curve
// polygons, `usemtl` as the surface of the elements after it.  Lines before
// any `usemtl` take the name of their `o` or `g` group: modelers that export
// loose edges (Blender among them) write no material for them.
//
// Written by hand rather than on a general OBJ library: such libraries
// triangulate or regroup faces and do not keep the material of each `l`
// element, and the polygon order and every point's identity must stay
// exactly as in the file.
#include "standin/readers/formats.h"
#include "standin/text/tokens.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <new>
#include <string_view>
#include <unordered_map>

namespace standin {
namespace {

// Statements that are OBJ but carry nothing this reader keeps.
constexpr std::string_view kIgnored[] = {
    "vt",   "vn",    "vp",       "p",        "s",    "mg",         "mtllib",    "usemap", "maplib", "cstype", "deg",
    "bmat", "step",  "curv",     "curv2",    "surf", "parm",       "trim",      "hole",   "scrv",   "sp",     "end",
    "con",  "bevel", "c_interp", "d_interp", "lod",  "shadow_obj", "trace_obj", "ctech",  "stech",  "call",   "csh"};

// Statements this reader keeps.
constexpr std::string_view kRead[] = {"v", "f", "l", "usemtl", "o", "g"};

template <typename Test>
bool anyStatement(Test test) {
    for (std::string_view k : kRead)
        if (test(k))
            return true;
    for (std::string_view k : kIgnored)
        if (test(k))
            return true;
    return false;
}

bool known(std::string_view keyword) {
    return anyStatement([&](std::string_view k) { return k == keyword; });
}

// True when `start` is the beginning of a known statement (or all of one).
bool couldBeKnown(std::string_view start) {
    return anyStatement([&](std::string_view k) { return k.substr(0, start.size()) == start; });
}

// The next line of the text from `pos`, without its end of line.
std::string_view nextLine(const uint8_t *data, size_t size, size_t &pos) {
    const char *start = reinterpret_cast<const char *>(data) + pos;
    size_t left = size - pos;
    const void *eol = std::memchr(start, '\n', left);
    size_t n = eol ? size_t(static_cast<const char *>(eol) - start) : left;
    pos += eol ? n + 1 : n;
    return std::string_view(start, n);
}

struct ObjReader {
    Mesh &mesh;
    std::string &reason;
    ObjReader(Mesh &m, std::string &r) : mesh(m), reason(r) {}

    size_t line = 0;
    std::unordered_map<std::string, uint32_t> surfaces;
    uint32_t surface = 0;
    bool surfaceSet = false; // a `usemtl` came
    std::string group;       // the last `o` or `g` name
    uint32_t groupSurface = 0, defaultSurface = 0;
    bool groupSurfaceSet = false, defaultSurfaceSet = false;

    bool fail(const std::string &what) {
        reason = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    uint32_t surfaceIndex(const std::string &name) {
        auto [it, added] = surfaces.emplace(name, uint32_t(mesh.surfaces.size()));
        if (added)
            mesh.surfaces.push_back(name);
        return it->second;
    }

    // The surface of a polygon before any `usemtl`: a line takes its group's
    // name, a face (or a line in no group) "Default".  Each is looked up once.
    uint32_t unnamedSurface(uint32_t type) {
        if (type == kCurve && !group.empty()) {
            if (!groupSurfaceSet)
                groupSurface = surfaceIndex(group);
            groupSurfaceSet = true;
            return groupSurface;
        }
        if (!defaultSurfaceSet)
            defaultSurface = surfaceIndex("Default");
        defaultSurfaceSet = true;
        return defaultSurface;
    }

    std::vector<uint32_t> polygonPoints; // the polygon being read

    bool point(std::string_view rest) {
        std::array<double, 3> p;
        for (double &v : p) {
            std::string_view t = token(rest);
            if (t.size() > 1 && t[0] == '+')
                t.remove_prefix(1);
            auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
            if (ec == std::errc::result_out_of_range)
                return fail("non-finite coordinate");
            if (t.empty() || ec != std::errc() || end != t.data() + t.size())
                return fail("bad number");
            if (!std::isfinite(v))
                return fail("non-finite coordinate");
        }
        mesh.addPoint(p[0], p[1], p[2]);
        return true;
    }

    // The indices as written, however few: `l 1` is a curve of one point and
    // a bare `l` or `f` a polygon of none, left for the scan to pass over.
    bool polygon(std::string_view rest, uint32_t type) {
        const MeshLayer &layer = mesh.layers.back();
        if (layer.pointCount == 0)
            return fail("polygon before any points");
        if (!surfaceSet)
            surface = unnamedSurface(type);
        polygonPoints.clear();
        const long long count = static_cast<long long>(layer.pointCount);
        for (std::string_view t = token(rest); !t.empty(); t = token(rest)) {
            long long index = 0;
            auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), index);
            if (ec != std::errc() || (end != t.data() + t.size() && *end != '/'))
                return fail("bad index");
            if (index == 0)
                return fail("index 0 is not a point");
            if (index > count || index < -count)
                return fail("index " + std::to_string(index) + " past the " + std::to_string(count) + " points");
            polygonPoints.push_back(uint32_t(index > 0 ? index - 1 : count + index));
        }
        mesh.addPolygon(type, surface, polygonPoints.data(), polygonPoints.size());
        return true;
    }

    // Room for the points and polygons the text holds, told by one quick
    // pass over its lines, so that no array is copied as it grows: a line
    // that starts "v" holds at most one point, one that starts "f" or "l"
    // at most one polygon with an index after each of its spaces and tabs.
    void reserve(const uint8_t *data, size_t size) {
        size_t points = 0, polygons = 0, separators = 0;
        for (size_t pos = 0; pos < size;) {
            const uint8_t *eol = static_cast<const uint8_t *>(std::memchr(data + pos, '\n', size - pos));
            const size_t next = eol ? size_t(eol - data) + 1 : size;
            const uint8_t first = data[pos];
            points += first == 'v';
            if (first == 'f' || first == 'l') {
                ++polygons;
                for (size_t i = pos; i < next; ++i)
                    separators += size_t(data[i] == ' ') | size_t(data[i] == '\t');
            }
            pos = next;
        }
        // Without the room, the arrays grow as they are filled, and a model
        // too large for memory is refused as it was, where it was.
        try {
            mesh.points.reserve(3 * points);
            mesh.layers.back().records.reserve(polygons);
            mesh.indices.reserve(polygons + separators);
        } catch (const std::bad_alloc &) {
            mesh.points = {};
            mesh.layers.back().records = {};
            mesh.indices = {};
        }
    }

    bool read(const uint8_t *data, size_t size) {
        mesh.format = "OBJ";
        mesh.addLayer(1);
        reserve(data, size);
        size_t pos = 0;
        while (pos < size) {
            ++line;
            std::string_view rest = nextLine(data, size, pos);
            std::string_view keyword = token(rest);
            if (keyword.empty() || keyword[0] == '#')
                continue;
            if (keyword == "v") {
                if (!point(rest))
                    return false;
            } else if (keyword == "f") {
                if (!polygon(rest, kFace))
                    return false;
            } else if (keyword == "l") {
                if (!polygon(rest, kCurve))
                    return false;
            } else if (keyword == "mtllib") {
                mesh.materialLibraries.emplace_back(trim(rest));
            } else if (keyword == "usemtl") {
                std::string_view name = trim(rest);
                surface = surfaceIndex(name.empty() ? std::string("Default") : std::string(name));
                surfaceSet = true;
            } else if (keyword == "o" || keyword == "g") {
                group = std::string(trim(rest));
                groupSurfaceSet = false;
            } else if (!known(keyword)) {
                return fail("unknown statement");
            }
        }
        return true;
    }
};

} // namespace

Guess looksLikeObj(const uint8_t *data, size_t size, bool whole) {
    size_t pos = 0;
    while (pos < size) {
        const size_t start = pos;
        std::string_view rest = nextLine(data, size, pos);
        // Without its end of line, the line may go on past the bytes read.
        const bool ended = whole || pos > start + rest.size();
        std::string_view keyword = token(rest);
        if (keyword.empty() || keyword[0] == '#') {
            if (!ended)
                return Guess::Unsure;
            continue;
        }
        if (!ended && rest.empty())
            return couldBeKnown(keyword) ? Guess::Unsure : Guess::No;
        return known(keyword) ? Guess::Yes : Guess::No;
    }
    return whole ? Guess::No : Guess::Unsure;
}

bool readObj(const uint8_t *data, size_t size, Mesh &mesh, std::string &reason) {
    ObjReader reader(mesh, reason);
    return reader.read(data, size);
}

} // namespace standin
