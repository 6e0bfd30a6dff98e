// The rig picture's page: the views' mapping of model space, frames,
// labels, axis crosses and scale bars.
#include "standin/picture/picture_sheet.h"

#include <algorithm>

#include "standin/picture/svg_text.h"

namespace standin::sheet {

namespace {

constexpr double kAxis = 26; // length of each axis of the cross
constexpr const char *kAxisNames[3] = {"x", "y", "z"};

std::string text(const char *cls, double x, double y, const std::string &body, const char *extra) {
    return "<text class=\"" + std::string(cls) + "\" x=\"" + pixels(x) + "\" y=\"" + pixels(y) + "\"" + extra + ">" +
        xmlEscaped(body) + "</text>\n";
}

std::string axes(const Mapping &m) {
    Pixel o = m.at({0, 0, 0});
    const bool atOrigin = m.inside(o);
    if (!atOrigin)
        o = {m.left + 14, m.top + kViewSize - 14, true};
    const std::string style = "stroke=\"#555555\" stroke-width=\"1.2\"";
    std::string out = "<g class=\"axes\" data-at=\"" + std::string(atOrigin ? "origin" : "corner") + "\">\n";
    out += line("axis", o.x, o.y, o.x + kAxis, o.y, style);
    out += line("axis", o.x, o.y, o.x, o.y - kAxis, style);
    out += "<polygon points=\"" + point(o.x + kAxis + 5, o.y) + " " + point(o.x + kAxis, o.y - 2.5) + " " +
        point(o.x + kAxis, o.y + 2.5) + "\" fill=\"#555555\"/>\n";
    out += "<polygon points=\"" + point(o.x, o.y - kAxis - 5) + " " + point(o.x - 2.5, o.y - kAxis) + " " +
        point(o.x + 2.5, o.y - kAxis) + "\" fill=\"#555555\"/>\n";
    const char *letter = " font-size=\"12\" fill=\"#333333\"";
    out += text("axis-name", o.x + kAxis + 8, o.y + 4, kAxisNames[m.view.across], letter);
    out += text("axis-name", o.x - 4, o.y - kAxis - 8, kAxisNames[m.view.up], letter);
    return out + "</g>\n";
}

// The scale bar in the lower right corner: the round length just below 0.4
// of the largest extent, so it spans 0.16 to 0.4 of the drawing's width.
std::string scaleBar(const Mapping &m) {
    const double target = m.half * 0.8;
    int exponent = static_cast<int>(std::floor(std::log10(target)));
    double unit = std::pow(10.0, exponent);
    if (unit > target) // log10 rounded up
        unit = std::pow(10.0, --exponent);
    const double ratio = target / unit;
    const int mantissa = ratio >= 5 ? 5 : ratio >= 2 ? 2 : 1;
    const double length = m.pixelsOf(mantissa * unit);
    const double right = m.left + kViewSize - 14, y = m.top + kViewSize - 14;
    const std::string style = "stroke=\"#333333\" stroke-width=\"1.5\"";
    std::string out = "<g class=\"scale\">\n";
    out += line("scale-bar", right - length, y, right, y, style);
    out += line("scale-tick", right - length, y - 4, right - length, y + 4, style);
    out += line("scale-tick", right, y - 4, right, y + 4, style);
    out += text("scale-label", right - length / 2, y - 6, roundLength(mantissa, exponent),
                " font-size=\"11\" fill=\"#333333\" text-anchor=\"middle\"");
    return out + "</g>\n";
}

} // namespace

Mapping::Mapping(int v, const Vec3 &middle, double half)
    : view(kViews[v]), middle(middle), half(half),
      halfPixels(std::min(kViewSize - 2 * kInsetSide, kViewSize - kInsetTop - kInsetBottom) / 2),
      left(kGap + v * (kViewSize + kGap)), top(kGap), centerX(left + kViewSize / 2),
      centerY(top + kInsetTop + (kViewSize - kInsetTop - kInsetBottom) / 2) {}

Pixel Mapping::at(const Vec3 &p) const {
    if (!finite(p))
        return {};
    const double x = centerX + (p[view.across] / 2 - middle[view.across] / 2) / half * (2 * halfPixels);
    const double y = centerY - (p[view.up] / 2 - middle[view.up] / 2) / half * (2 * halfPixels);
    return {x, y, std::isfinite(x) && std::isfinite(y)};
}

bool Mapping::inside(const Pixel &p) const {
    return p.ok && p.x >= left + kInsetSide && p.x <= left + kViewSize - kInsetSide && p.y >= top + kInsetTop &&
        p.y <= top + kViewSize - kInsetBottom;
}

std::string point(double x, double y) { return pixels(x) + "," + pixels(y); }

std::string line(const char *cls, double x1, double y1, double x2, double y2, const std::string &style) {
    return "<line class=\"" + std::string(cls) + "\" x1=\"" + pixels(x1) + "\" y1=\"" + pixels(y1) + "\" x2=\"" +
        pixels(x2) + "\" y2=\"" + pixels(y2) + "\" " + style + "/>\n";
}

std::string viewDecor(const Mapping &m) {
    std::string out = "<rect class=\"frame\" x=\"" + pixels(m.left) + "\" y=\"" + pixels(m.top) + "\" width=\"" +
        pixels(kViewSize) + "\" height=\"" + pixels(kViewSize) + "\" fill=\"#f7f7f5\" stroke=\"#c8c8c8\"/>\n";
    out += text("view-label", m.left + 10, m.top + 20, m.view.label, " font-size=\"13\" fill=\"#222222\"");
    return out + axes(m) + scaleBar(m);
}

} // namespace standin::sheet
