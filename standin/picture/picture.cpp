// The rig picture: three views of the placed bones and goals, one scale for
// all, written as SVG by hand.
#include "standin/picture/picture.h"

#include <algorithm>
#include <cmath>

#include "standin/picture/picture_sheet.h"
#include "standin/picture/svg_text.h"

namespace standin {

namespace {

using namespace sheet;

struct Shade {
    const char *fill;
    const char *ink; // for marks drawn on the fill
};

// The seven bone and object colours, dark enough for a white page.
constexpr Shade kPalette[7] = {{"#1f5fd1", "#ffffff"}, {"#1f8f3a", "#ffffff"}, {"#0a9fb5", "#ffffff"},
                               {"#d02b2b", "#ffffff"}, {"#8c3fc4", "#ffffff"}, {"#f2c200", "#202020"},
                               {"#ffffff", "#202020"}};
constexpr Shade kGrey = {"#8a8a8a", "#ffffff"};
constexpr const char *kOutline = "#202020";

Shade shade(int color) { return color >= 1 && color <= 7 ? kPalette[color - 1] : kGrey; }

// The bounds of the points drawn.
struct Bounds {
    Vec3 low{}, high{};
    bool any = false;

    void add(const Vec3 &p) {
        if (!finite(p))
            return;
        for (int a = 0; a < 3; ++a) {
            low[a] = any ? std::min(low[a], p[a]) : p[a];
            high[a] = any ? std::max(high[a], p[a]) : p[a];
        }
        any = true;
    }
};

// A bone's outline in pixels: a kite widest a fifth of the way from its
// base, or, for a bone seen end-on or nearly (a kite too small to tell its
// direction), a diamond round its base, or round its one visible end.
std::string boneOutline(const Pixel &base, const Pixel &tip) {
    const double dx = tip.x - base.x, dy = tip.y - base.y, length = std::hypot(dx, dy);
    if (!(base.ok && tip.ok) || !(length >= 4)) {
        const Pixel c = base.ok ? base : tip;
        const double r = 4.5;
        return point(c.x, c.y - r) + " " + point(c.x + r, c.y) + " " + point(c.x, c.y + r) + " " + point(c.x - r, c.y);
    }
    const double ux = dx / length, uy = dy / length;
    const double width = std::clamp(length * 0.09, 2.0, 6.0);
    const double sx = base.x + dx * 0.2, sy = base.y + dy * 0.2;
    return point(base.x, base.y) + " " + point(sx - uy * width, sy + ux * width) + " " + point(tip.x, tip.y) + " " +
        point(sx + uy * width, sy - ux * width);
}

struct Rig {
    const Scene &scene;
    const RigPlacement &placement;
    std::vector<int> boneNumber;     // per item: from 1 for bones, 0 for the rest
    std::vector<std::string> goalOf; // per item: the bones that have it as goal, "7 Arm_L, 9 Leg_L"

    Vec3 base(size_t i) const { return i < placement.base.size() ? placement.base[i] : Vec3{NAN, NAN, NAN}; }
    Vec3 tip(size_t i) const { return i < placement.tip.size() ? placement.tip[i] : Vec3{NAN, NAN, NAN}; }
    const SceneItem &item(size_t i) const { return scene.items[i]; }

    std::string numbered(size_t i) const { return std::to_string(boneNumber[i]) + " " + item(i).name; }

    int goal(size_t i) const {
        const int g = item(i).goal;
        return g >= 0 && static_cast<size_t>(g) < scene.items.size() && item(g).kind == ItemKind::NullObject ? g : -1;
    }

    std::string boneTitle(size_t i) const {
        const int p = item(i).parent;
        std::string parent = "none";
        if (p >= 0 && static_cast<size_t>(p) < scene.items.size())
            parent = boneNumber[p] ? numbered(p) : item(p).name;
        return numbered(i) + " (parent: " + parent + ")";
    }
};

std::string drawView(const Rig &rig, const Mapping &m) {
    std::string out = "<g class=\"view\" data-view=\"" + std::string(m.view.id) + "\">\n" + viewDecor(m);
    const size_t count = rig.scene.items.size();
    for (size_t i = 0; i < count; ++i) {
        const int g = rig.boneNumber[i] ? rig.goal(i) : -1;
        if (g < 0)
            continue;
        const Pixel from = m.at(finite(rig.tip(i)) ? rig.tip(i) : rig.base(i)), to = m.at(rig.base(g));
        if (from.ok && to.ok)
            out += "<line class=\"goal-link\" data-bone=\"" + std::to_string(rig.boneNumber[i]) + "\" x1=\"" +
                pixels(from.x) + "\" y1=\"" + pixels(from.y) + "\" x2=\"" + pixels(to.x) + "\" y2=\"" + pixels(to.y) +
                "\" stroke=\"#666666\" stroke-width=\"0.8\"/>\n";
    }
    for (size_t i = 0; i < count; ++i) {
        if (!rig.boneNumber[i])
            continue;
        const Pixel base = m.at(rig.base(i)), tip = m.at(rig.tip(i));
        if (!base.ok && !tip.ok)
            continue;
        const SceneItem &bone = rig.item(i);
        out += "<polygon class=\"bone\" data-bone=\"" + std::to_string(rig.boneNumber[i]) + "\" points=\"" +
            boneOutline(base, tip) + "\" fill=\"" + shade(bone.color).fill + "\" stroke=\"" + kOutline +
            "\" stroke-width=\"0.8\" stroke-linejoin=\"round\"" +
            (bone.active ? "" : " fill-opacity=\"0.4\" stroke-opacity=\"0.7\" stroke-dasharray=\"3 2\"") + "><title>" +
            xmlEscaped(rig.boneTitle(i)) + "</title></polygon>\n";
    }
    for (size_t i = 0; i < count; ++i) {
        const Pixel c = m.at(rig.base(i));
        if (rig.item(i).kind != ItemKind::NullObject || !c.ok)
            continue;
        const std::string title = "<title>" + xmlEscaped(rig.item(i).name) +
            (rig.goalOf[i].empty() ? "" : " (goal of " + xmlEscaped(rig.goalOf[i]) + ")") + "</title>";
        if (rig.goalOf[i].empty()) {
            out += "<rect class=\"null\" x=\"" + pixels(c.x - 2.5) + "\" y=\"" + pixels(c.y - 2.5) +
                "\" width=\"5\" height=\"5\" fill=\"#bbbbbb\" stroke=\"#555555\" stroke-width=\"0.8\">" + title +
                "</rect>\n";
            continue;
        }
        const Shade s = shade(rig.item(i).color);
        const std::string ink = "stroke=\"" + std::string(s.ink) + "\" stroke-width=\"1.2\"";
        out += "<g class=\"goal\" data-item=\"" + std::to_string(i) + "\">" + title + "\n<circle cx=\"" + pixels(c.x) +
            "\" cy=\"" + pixels(c.y) + "\" r=\"5.5\" fill=\"" + s.fill + "\" stroke=\"" + kOutline +
            "\" stroke-width=\"0.8\"/>\n";
        out += line("goal-cross", c.x - 3.5, c.y, c.x + 3.5, c.y, ink);
        out += line("goal-cross", c.x, c.y - 3.5, c.x, c.y + 3.5, ink);
        out += "</g>\n";
    }
    return out + "</g>\n";
}

} // namespace

std::string rigPicture(const Scene &scene, const RigPlacement &placement) {
    const size_t count = scene.items.size();
    Rig rig{scene, placement, std::vector<int>(count, 0), std::vector<std::string>(count)};
    int bones = 0;
    for (size_t i = 0; i < count; ++i)
        if (scene.items[i].kind == ItemKind::Bone)
            rig.boneNumber[i] = ++bones;
    Bounds bounds;
    for (size_t i = 0; i < count; ++i) {
        if (rig.boneNumber[i]) {
            bounds.add(rig.base(i));
            bounds.add(rig.tip(i));
            if (const int g = rig.goal(i); g >= 0)
                rig.goalOf[g] += (rig.goalOf[g].empty() ? "" : ", ") + rig.numbered(i);
        } else if (scene.items[i].kind == ItemKind::NullObject) {
            bounds.add(rig.base(i));
        }
    }

    // One unit across for a single point, or extents too small to divide by.
    Vec3 middle{};
    double half = 0.5;
    if (bounds.any) {
        double largest = 0;
        for (int a = 0; a < 3; ++a) {
            middle[a] = bounds.low[a] / 2 + bounds.high[a] / 2;
            largest = std::max(largest, bounds.high[a] / 2 - bounds.low[a] / 2);
        }
        if (largest > 0 && std::isfinite(Mapping(0, middle, largest).pixelsOf(1)))
            half = largest;
    }

    const std::string width = pixels(kPageWidth), height = pixels(kPageHeight);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
        width + "\" height=\"" + height + "\" viewBox=\"0 0 " + width + " " + height +
        "\" font-family=\"sans-serif\">\n<rect class=\"page\" width=\"" + width + "\" height=\"" + height +
        "\" fill=\"#ffffff\"/>\n";
    for (int v = 0; v < 3; ++v)
        out += drawView(rig, Mapping(v, middle, half));
    return out + "</svg>\n";
}

} // namespace standin
