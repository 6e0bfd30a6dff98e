// Surface colours: the COLR of an IFF file's SURF chunks, and the Kd of the
// materials in an OBJ's material libraries.  A colour that cannot be read
// is no colour, never an error: the model reads as it would without it.
#include "standin/readers/lwo.h"
#include "standin/readers/formats.h"
#include "standin/platform/platform.h"
#include "standin/text/tokens.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>
#include <string_view>

namespace standin {

const std::array<float, 3> *Mesh::colourOf(uint32_t surface) const {
    if (surface >= surfaces.size())
        return nullptr;
    const auto found = colours.find(surfaces[surface]);
    return found == colours.end() ? nullptr : &found->second;
}

namespace {

// A colour kept: every part finite, each brought within 0..1.
void keepColour(Mesh &mesh, std::string name, const double (&rgb)[3]) {
    std::array<float, 3> colour;
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(rgb[i]))
            return;
        colour[size_t(i)] = float(std::clamp(rgb[i], 0.0, 1.0));
    }
    mesh.colours[std::move(name)] = colour;
}

} // namespace

namespace iff {

// SURF: the surface's name (LWO2: then its source's), then sub-chunks of an
// ID and a two-byte length.  COLR is three floats in LWO2 (and an envelope),
// four bytes red, green, blue, 0 in LWOB.  The walk ends at the first
// sub-chunk that does not fit.
void LwoReader::surf(Cursor c) {
    std::string name = c.s0();
    const bool lwo2 = form == id4("LWO2");
    if (lwo2)
        c.s0();
    while (c.has(6)) {
        const uint32_t id = c.u4();
        const uint16_t length = c.u2();
        if (length > c.left())
            return;
        Cursor body{c.data, c.pos, c.pos + length};
        c.pos = body.end;
        if (length % 2 == 1 && c.left() > 0)
            ++c.pos;
        if (id != id4("COLR"))
            continue;
        double rgb[3];
        if (lwo2 && body.has(12)) {
            for (double &v : rgb)
                v = body.f4();
        } else if (!lwo2 && body.has(3)) {
            for (double &v : rgb)
                v = body.data[body.pos++] / 255.0;
        } else {
            continue;
        }
        keepColour(mesh, name, rgb);
    }
}

} // namespace iff

namespace {

// A material library larger than this is read only this far.
constexpr size_t kLargestLibrary = 16u << 20;

bool readLibrary(const std::string &path, std::string &text) {
    platform::FileKind kind;
    std::string why;
    if (!platform::fileKind(path, kind, why) || kind != platform::FileKind::Regular)
        return false;
    platform::InputFile file;
    return file.open(path, why) && file.kind() == platform::FileKind::Regular &&
        file.readAll(text, why, kLargestLibrary);
}

// `newmtl NAME` starts a material, `Kd R G B` gives its colour.
void readLibraryColours(std::string_view text, Mesh &mesh) {
    std::string material;
    bool named = false;
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        std::string_view rest = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        const std::string_view keyword = token(rest);
        if (keyword == "newmtl") {
            material = std::string(trim(rest));
            named = true;
        } else if (keyword == "Kd" && named) {
            double rgb[3];
            bool ok = true;
            for (double &v : rgb) {
                const std::string_view t = token(rest);
                const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
                ok = ok && !t.empty() && ec == std::errc() && end == t.data() + t.size();
            }
            if (ok)
                keepColour(mesh, material, rgb);
        }
    }
}

bool absolute(const std::string &name) {
    return !name.empty() && (name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':'));
}

} // namespace

void readMaterialColours(const std::string &objPath, Mesh &mesh) {
    const std::string folder = objPath.substr(0, platform::nameStart(objPath));
    try {
        std::string text;
        auto read = [&](const std::string &library) {
            if (library.empty() || !readLibrary(absolute(library) ? library : folder + library, text))
                return false;
            readLibraryColours(text, mesh);
            return true;
        };
        // The statement may name several libraries, or one whose name has
        // blanks in it: the whole is tried first, then word by word.
        for (const std::string &libraries : mesh.materialLibraries) {
            if (read(libraries))
                continue;
            std::string_view rest = libraries;
            for (std::string_view name = token(rest); !name.empty(); name = token(rest))
                if (name.size() < libraries.size())
                    read(std::string(name));
        }
    } catch (const std::bad_alloc &) {
        mesh.colours.clear();
    }
}

} // namespace standin
