#include "bench/rigs.h"

#include "support/iff_builder.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace benchmodel {

Rig chains(int chains, int curvesPerChain, int (*pointsOf)(int curve)) {
    Rig rig;
    int curve = 0;
    for (int c = 0; c < chains; ++c) {
        uint32_t last = 0;
        for (int k = 0; k < curvesPerChain; ++k, ++curve) {
            std::vector<uint32_t> points;
            if (k > 0)
                points.push_back(last);
            const int want = pointsOf(curve);
            while (int(points.size()) < want) {
                // A wandering path: every bone of non-zero length, turning
                // in heading and pitch so that every frame is rotated.
                const double t = double(rig.points.size());
                rig.points.push_back({0.3 * c + 0.05 * std::sin(0.7 * t), 0.02 * t + 0.01 * std::cos(0.3 * t),
                                      0.04 * std::cos(0.5 * t)});
                points.push_back(uint32_t(rig.points.size() - 1));
            }
            last = points.back();
            rig.curves.push_back(std::move(points));
        }
    }
    return rig;
}

Rig thousandCurves() {
    return chains(100, 10, [](int) { return 4; });
}

Rig fullScene() {
    // 96 curves of 4 bones and 904 of 3: 3096 chain bones and 1000 goal bones.
    return chains(100, 10, [](int curve) { return curve < 96 ? 5 : 4; });
}

Rig deepChain() {
    return chains(1, 1, [](int) { return 4096; });
}

Rig curveOfPoints(int n) {
    static int points;
    points = n;
    return chains(1, 1, [](int) { return points; });
}

std::string rigObj(const Rig &rig) {
    std::string s;
    char line[128];
    for (const auto &p : rig.points) {
        std::snprintf(line, sizeof line, "v %.17g %.17g %.17g\n", p[0], p[1], p[2]);
        s += line;
    }
    s += "usemtl Bone\n";
    for (const auto &curve : rig.curves) {
        s += "l";
        for (uint32_t i : curve) {
            s += ' ';
            s += std::to_string(i + 1);
        }
        s += "\n";
    }
    return s;
}

namespace {

struct Out : testsupport::IffBytes {
    void layer(int number) {
        const size_t c = open("LAYR");
        u2(uint32_t(number));
        u2(0);
        for (int i = 0; i < 3; ++i)
            f4(0);
        b.append("\0\0", 2);
        close(c);
    }
};

} // namespace

std::string rigLwo2(const Rig &rig, int emptyLayers) {
    Out o;
    o.id("FORM");
    o.u4(0);
    o.id("LWO2");
    size_t c = o.open("TAGS");
    o.b.append("Bone\0\0", 6);
    o.close(c);
    for (int l = 0; l < emptyLayers; ++l)
        o.layer(l);
    o.layer(emptyLayers);
    c = o.open("PNTS");
    for (const auto &p : rig.points)
        for (double v : p)
            o.f4(float(v));
    o.close(c);
    c = o.open("POLS");
    o.id("CURV");
    for (const auto &curve : rig.curves) {
        const uint32_t n = uint32_t(curve.size());
        o.u2((n & 0x03FF) | ((n << 2) & 0xF000));
        for (uint32_t i : curve)
            o.vx(i);
    }
    o.close(c);
    c = o.open("PTAG");
    o.id("SURF");
    for (size_t k = 0; k < rig.curves.size(); ++k) {
        o.vx(uint32_t(k));
        o.u2(0);
    }
    o.close(c);
    o.close(8);
    return o.b;
}

} // namespace benchmodel
