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

// The grid's points row by row, then the rig's; `cells` quads per row.
struct Layout {
    int64_t cells = 0; // grid cells per row
    int64_t rows = 0;  // rows of cells
    std::vector<Point> points;
    std::vector<uint32_t> rigPoints; // per curve, curvePoints indices
};

Layout layout(const Shape &shape, int64_t maxCells) {
    Layout l;
    l.cells = std::max<int64_t>(1, std::min<int64_t>(maxCells, int64_t(std::ceil(std::sqrt(double(shape.faces))))));
    l.rows = std::max<int64_t>(1, std::min<int64_t>(maxCells, (shape.faces + l.cells - 1) / l.cells));
    for (int64_t r = 0; r <= l.rows; ++r)
        for (int64_t c = 0; c <= l.cells; ++c)
            l.points.push_back({float(c) * 0.01f, 0.0f, float(r) * 0.01f});
    uint32_t last = 0;
    for (int k = 0; k < shape.curves; ++k)
        for (int p = 0; p < shape.curvePoints; ++p) {
            if (p == 0 && k > 0) {
                l.rigPoints.push_back(last);
                continue;
            }
            const float t = float(k * shape.curvePoints + p);
            l.points.push_back({0.1f * std::sin(t * 0.3f), 1.0f + 0.05f * t, 0.1f * std::cos(t * 0.3f)});
            last = uint32_t(l.points.size() - 1);
            l.rigPoints.push_back(last);
        }
    return l;
}

// The four corners of face `f`, wrapping over the grid when it has fewer cells.
void corners(const Layout &l, int64_t f, uint32_t out[4]) {
    const int64_t cell = f % (l.cells * l.rows);
    const int64_t r = cell / l.cells, c = cell % l.cells, row = l.cells + 1;
    out[0] = uint32_t(r * row + c);
    out[1] = uint32_t(r * row + c + 1);
    out[2] = uint32_t((r + 1) * row + c + 1);
    out[3] = uint32_t((r + 1) * row + c);
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
        corners(l, f, q);
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
        corners(l, f, q);
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
        corners(l, f, q);
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

} // namespace benchmodel
