#include "bench/model_files.h"

#include "support/iff_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace benchmodel {
namespace {

struct Point {
    float x, y, z;
};

// The grids' points row by row, then the rig's; `cells` quads per row of
// each grid (one, or two for RigLayout::Ground: the ground, then the tube).
struct Layout {
    int64_t cells = 0; // grid cells per row
    int64_t rows = 0;  // rows of cells
    int64_t grids = 1;
    std::vector<Point> points;
    std::vector<uint32_t> rigPoints; // per curve, curvePoints indices
};

constexpr float kCell = 0.01f; // a grid cell's side
constexpr float kTau = 6.2831853f;

// Point (c, r) of a grid: flat, or rolled into a tube of `cells` cells
// around, as tall as the grid is long, standing on (x, z).
Point gridPoint(const Layout &l, int64_t c, int64_t r, bool tube, float x, float z) {
    if (!tube)
        return {float(c) * kCell, 0.0f, float(r) * kCell};
    const float radius = float(l.cells) * kCell / kTau, a = kTau * float(c) / float(l.cells);
    return {x + radius * std::cos(a), float(r) * kCell, z + radius * std::sin(a)};
}

// Point t (0 to n - 1) of the rig's one chain, above a grid of side `side`.
Point rigPoint(RigLayout rig, float t, float n, float side) {
    switch (rig) {
    case RigLayout::Helix: break;
    case RigLayout::Corner: // a tight zigzag in a box of a tenth of the side
        return {0.1f * side * (0.5f + 0.5f * std::sin(t * 1.7f)), 0.02f + 0.1f * side * (t / n),
                0.1f * side * (0.5f + 0.5f * std::cos(t * 2.3f))};
    case RigLayout::Spread: { // rows to and fro, a twentieth of the side apart
        const float rows = std::max(1.0f, std::floor(std::sqrt(n / 20.0f))), perRow = std::ceil(n / rows);
        const float row = std::floor(t / perRow), u = (t - row * perRow) / std::max(1.0f, perRow - 1);
        const float along = int(row) % 2 == 0 ? u : 1 - u;
        return {side * along, 0.05f, side * (row + 0.5f) / rows};
    }
    case RigLayout::Inside: // straight up the tube's axis, from bottom to top
        return {0.0f, side * t / n, 0.0f};
    case RigLayout::Ground: // the helix inside the standing tube
        return {0.5f * side + 0.02f * side * std::sin(t * 0.3f), side * t / n,
                0.5f * side + 0.02f * side * std::cos(t * 0.3f)};
    }
    return {0.1f * std::sin(t * 0.3f), 1.0f + 0.05f * t, 0.1f * std::cos(t * 0.3f)};
}

Layout layout(const Shape &shape, int64_t maxCells) {
    Layout l;
    l.grids = shape.rig == RigLayout::Ground ? 2 : 1;
    const int64_t faces = (shape.faces + l.grids - 1) / l.grids;
    l.cells = std::max<int64_t>(1, std::min<int64_t>(maxCells, int64_t(std::ceil(std::sqrt(double(faces))))));
    l.rows = std::max<int64_t>(1, std::min<int64_t>(maxCells, (faces + l.cells - 1) / l.cells));
    const float side = float(l.cells) * kCell;
    for (int64_t g = 0; g < l.grids; ++g) {
        const bool tube = shape.rig == RigLayout::Inside || g == 1;
        for (int64_t r = 0; r <= l.rows; ++r)
            for (int64_t c = 0; c <= l.cells; ++c)
                l.points.push_back(gridPoint(l, c, r, tube, g == 1 ? 0.5f * side : 0.0f, g == 1 ? 0.5f * side : 0.0f));
    }
    uint32_t last = 0;
    const float n = float(shape.curves * shape.curvePoints);
    for (int k = 0; k < shape.curves; ++k)
        for (int p = 0; p < shape.curvePoints; ++p) {
            if (p == 0 && k > 0) {
                l.rigPoints.push_back(last);
                continue;
            }
            l.points.push_back(rigPoint(shape.rig, float(k * shape.curvePoints + p), n, side));
            last = uint32_t(l.points.size() - 1);
            l.rigPoints.push_back(last);
        }
    return l;
}

// The four corners of face `f`: the first half of the faces on the first
// grid, the rest on the second where there are two, wrapping over a grid
// when it has fewer cells.
void corners(const Layout &l, int64_t faces, int64_t f, uint32_t out[4]) {
    const int64_t perGrid = (faces + l.grids - 1) / l.grids, g = f / perGrid;
    const int64_t cell = (f - g * perGrid) % (l.cells * l.rows);
    const int64_t r = cell / l.cells, c = cell % l.cells, row = l.cells + 1;
    const int64_t first = g * row * (l.rows + 1);
    out[0] = uint32_t(first + r * row + c);
    out[1] = uint32_t(first + r * row + c + 1);
    out[2] = uint32_t(first + (r + 1) * row + c + 1);
    out[3] = uint32_t(first + (r + 1) * row + c);
}

struct Out : testsupport::IffBytes {
    void points(const Layout &l) {
        const size_t c = open("PNTS");
        for (const Point &p : l.points) {
            f4(p.x);
            f4(p.y);
            f4(p.z);
        }
        close(c);
    }
};

std::string lwo2(const Shape &shape) {
    const Layout l = layout(shape, INT64_MAX);
    Out o;
    o.id("FORM");
    o.u4(0);
    o.id("LWO2");
    size_t c = o.open("TAGS");
    o.b.append("Skin\0\0Bone\0\0", 12);
    o.close(c);
    c = o.open("LAYR");
    o.u2(0);
    o.u2(0);
    for (int i = 0; i < 3; ++i)
        o.f4(0);
    o.b.append("\0\0", 2);
    o.close(c);
    o.points(l);
    c = o.open("POLS");
    o.id("FACE");
    for (int64_t f = 0; f < shape.faces; ++f) {
        uint32_t q[4];
        corners(l, shape.faces, f, q);
        o.u2(4);
        for (uint32_t i : q)
            o.vx(i);
    }
    o.close(c);
    c = o.open("PTAG");
    o.id("SURF");
    for (int64_t f = 0; f < shape.faces; ++f) {
        o.vx(uint32_t(f));
        o.u2(0);
    }
    o.close(c);
    if (shape.curves > 0) {
        c = o.open("POLS");
        o.id("CURV");
        for (int k = 0; k < shape.curves; ++k) {
            o.u2(uint32_t(shape.curvePoints) & 0x03FF);
            for (int p = 0; p < shape.curvePoints; ++p)
                o.vx(l.rigPoints[size_t(k * shape.curvePoints + p)]);
        }
        o.close(c);
        c = o.open("PTAG");
        o.id("SURF");
        for (int k = 0; k < shape.curves; ++k) {
            o.vx(uint32_t(k));
            o.u2(1);
        }
        o.close(c);
    }
    o.close(8);
    return o.b;
}

std::string lwob(const Shape &shape) {
    const Layout l = layout(shape, 250);
    Out o;
    o.id("FORM");
    o.u4(0);
    o.id("LWOB");
    o.points(l);
    size_t c = o.open("SRFS");
    o.b.append("Skin\0\0Bone\0\0", 12);
    o.close(c);
    c = o.open("POLS");
    for (int64_t f = 0; f < shape.faces; ++f) {
        uint32_t q[4];
        corners(l, shape.faces, f, q);
        o.u2(4);
        for (uint32_t i : q)
            o.u2(i);
        o.u2(1);
    }
    o.close(c);
    if (shape.curves > 0) {
        c = o.open("CRVS");
        for (int k = 0; k < shape.curves; ++k) {
            o.u2(uint32_t(shape.curvePoints));
            for (int p = 0; p < shape.curvePoints; ++p)
                o.u2(l.rigPoints[size_t(k * shape.curvePoints + p)]);
            o.u2(2);
            o.u2(0);
        }
        o.close(c);
    }
    o.close(8);
    return o.b;
}

std::string obj(const Shape &shape) {
    const Layout l = layout(shape, INT64_MAX);
    std::string s;
    char line[128];
    for (const Point &p : l.points) {
        std::snprintf(line, sizeof line, "v %g %g %g\n", double(p.x), double(p.y), double(p.z));
        s += line;
    }
    s += "usemtl Skin\n";
    for (int64_t f = 0; f < shape.faces; ++f) {
        uint32_t q[4];
        corners(l, shape.faces, f, q);
        std::snprintf(line, sizeof line, "f %u %u %u %u\n", q[0] + 1, q[1] + 1, q[2] + 1, q[3] + 1);
        s += line;
    }
    if (shape.curves > 0)
        s += "usemtl Bone\n";
    for (int k = 0; k < shape.curves; ++k) {
        s += "l";
        for (int p = 0; p < shape.curvePoints; ++p) {
            s += ' ';
            s += std::to_string(l.rigPoints[size_t(k * shape.curvePoints + p)] + 1);
        }
        s += "\n";
    }
    return s;
}

} // namespace

std::string modelFile(Format format, const Shape &shape) {
    switch (format) {
    case Format::Lwo2: return lwo2(shape);
    case Format::Lwob: return lwob(shape);
    case Format::Obj: return obj(shape);
    }
    return {};
}

bool formatNamed(const std::string &name, Format &format) {
    if (name == "lwo2")
        format = Format::Lwo2;
    else if (name == "lwob")
        format = Format::Lwob;
    else if (name == "obj")
        format = Format::Obj;
    else
        return false;
    return true;
}

bool rigNamed(const std::string &name, RigLayout &rig) {
    static const char *const kNames[] = {"helix", "corner", "spread", "inside", "ground"};
    for (int i = 0; i < 5; ++i)
        if (name == kNames[i]) {
            rig = RigLayout(i);
            return true;
        }
    return false;
}

} // namespace benchmodel
