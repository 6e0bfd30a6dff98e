// The rig picture, read back with a real XML parser: one named shape per
// bone and view, goals linked to their bones, the views' labels, axes and
// scale, hostile names and extreme coordinates.
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "standin/picture/picture.h"

namespace {

using standin::ItemKind;
using standin::Vec3;
using Pixel = std::pair<double, double>;

struct Rig {
    standin::Scene scene;
    standin::RigPlacement placement;
    int add(ItemKind kind, const std::string &name, int parent, Vec3 base, Vec3 tip, int color = 0, int goal = -1) {
        standin::SceneItem item;
        item.kind = kind, item.name = name, item.parent = parent, item.color = color, item.goal = goal;
        scene.items.push_back(item);
        placement.base.push_back(base);
        placement.tip.push_back(tip);
        return static_cast<int>(scene.items.size()) - 1;
    }
};

// An object, a goal, a plain null, a light; bones along y, along z (inactive),
// of no length, and two aslant.
Rig typicalRig() {
    Rig r;
    const int object = r.add(ItemKind::Object, "rig.lwo", -1, {0, 0, 0}, {0, 0, 0});
    const int goal = r.add(ItemKind::NullObject, "Hand_Goal", object, {2, 3, 0}, {2, 3, 0}, 4);
    r.add(ItemKind::NullObject, "Helper", object, {-1, 0, 0}, {-1, 0, 0});
    const int root = r.add(ItemKind::Bone, "Root", object, {0, 0, 0}, {0, 3, 0}, 1);
    const int arm = r.add(ItemKind::Bone, "Arm", root, {0, 3, 0}, {1.5, 2.5, 0.5}, 4, goal);
    const int tail = r.add(ItemKind::Bone, "Tail", root, {0, 0, 0}, {0, 0, 1}, 2);
    r.scene.items[tail].active = false;
    r.add(ItemKind::Light, "Light", -1, {5, 5, 5}, {5, 5, 5});
    r.add(ItemKind::Bone, "Stub", tail, {0, 0, 1}, {0, 0, 1}, 7);
    r.add(ItemKind::Bone, "Odd", arm, {0, 3, 0}, {0.5, 3.5, 0.5}, 9);
    return r;
}

void parse(pugi::xml_document &doc, const Rig &rig) {
    const std::string svg = standin::rigPicture(rig.scene, rig.placement);
    const pugi::xml_parse_result result = doc.load_string(svg.c_str());
    ASSERT_TRUE(result) << result.description() << " at " << result.offset << " in\n" << svg;
}

pugi::xpath_node_set all(const pugi::xml_node &node, const char *query) { return node.select_nodes(query); }
std::string textOf(const pugi::xml_node &node, const char *query) {
    return node.select_node(query).node().child_value();
}
double number(const pugi::xml_node &node, const char *attribute) { return node.attribute(attribute).as_double(); }

std::vector<Pixel> pointsOf(const pugi::xml_node &polygon) {
    std::vector<Pixel> out;
    char *end;
    for (const char *p = polygon.attribute("points").value(); *p; p = *end ? end + 1 : end) {
        const double x = std::strtod(p, &end);
        out.emplace_back(x, std::strtod(end + 1, &end));
    }
    return out;
}

double distance(Pixel a, Pixel b) { return std::hypot(a.first - b.first, a.second - b.second); }

// The channel of "#rrggbb" (0 red, 1 green, 2 blue) that leads the others
// by 60 at least; 3 for a grey, -1 for neither.
int hue(const char *hex) {
    const long v = std::strtol(hex + 1, nullptr, 16);
    const int c[3] = {int(v >> 16 & 255), int(v >> 8 & 255), int(v & 255)};
    for (int i = 0; i < 3; ++i)
        if (c[i] >= c[(i + 1) % 3] + 60 && c[i] >= c[(i + 2) % 3] + 60)
            return i;
    return c[0] == c[1] && c[1] == c[2] ? 3 : -1;
}

TEST(RigPicture, everyBoneIsOneNamedShapePerViewInItsColour) {
    pugi::xml_document doc;
    ASSERT_NO_FATAL_FAILURE(parse(doc, typicalRig()));
    const std::vector<std::string> titles = {"1 Root (parent: rig.lwo)", "2 Arm (parent: 1 Root)",
                                             "3 Tail (parent: 1 Root)", "4 Stub (parent: 3 Tail)",
                                             "5 Odd (parent: 2 Arm)"};
    const auto views = all(doc, "/svg/g[@class='view']");
    ASSERT_EQ(views.size(), 3u);
    for (const auto &view : views) {
        const std::string id = view.node().attribute("data-view").value();
        SCOPED_TRACE(id);
        const auto bones = all(view.node(), "polygon[@class='bone']");
        ASSERT_EQ(bones.size(), titles.size());
        std::vector<std::vector<Pixel>> shape;
        for (size_t i = 0; i < bones.size(); ++i) {
            const pugi::xml_node bone = bones[i].node();
            EXPECT_EQ(bone.attribute("data-bone").as_int(), int(i + 1));
            EXPECT_EQ(bone.child_value("title"), titles[i]);
            EXPECT_EQ(bone.attribute("stroke-dasharray").empty(), i != 2) << titles[i]; // Tail inactive
            shape.push_back(pointsOf(bone));
            ASSERT_EQ(shape[i].size(), 4u);
            // Never vanishes, not even end-on.
            EXPECT_GT(distance(shape[i][0], shape[i][2]) * distance(shape[i][1], shape[i][3]), 20) << titles[i];
        }
        // Wide near the base (the first point), so the direction shows.
        EXPECT_LT(distance(shape[1][1], shape[1][0]) * 2, distance(shape[1][1], shape[1][2]));
        // The bone along z is seen end-on, as a diamond, from the front only.
        EXPECT_EQ(std::abs(distance(shape[2][0], shape[2][2]) - distance(shape[2][1], shape[2][3])) < 0.01,
                  id == "front");
        const auto fill = [&](size_t i) { return bones[i].node().attribute("fill").value(); };
        EXPECT_EQ((std::vector<int>{hue(fill(0)), hue(fill(1)), hue(fill(2)), hue(fill(4))}),
                  (std::vector<int>{2, 0, 1, 3})); // Blue, Red, Green; out of range: grey
        EXPECT_STREQ(fill(3), "#ffffff");          // White, outlined dark
        EXPECT_LT(std::strtol(bones[3].node().attribute("stroke").value() + 1, nullptr, 16), 0x404040);
    }
}

TEST(RigPicture, goalNullsAreMarkedAndLinkedFromTheTipThatReachesForThem) {
    pugi::xml_document doc;
    ASSERT_NO_FATAL_FAILURE(parse(doc, typicalRig()));
    for (const auto &view : all(doc, "/svg/g[@class='view']")) {
        const auto goals = all(view.node(), "g[@class='goal']"), links = all(view.node(), "line[@class='goal-link']");
        ASSERT_EQ(goals.size(), 1u);
        ASSERT_EQ(links.size(), 1u);
        EXPECT_EQ(textOf(goals[0].node(), "title"), "Hand_Goal (goal of 2 Arm)");
        EXPECT_EQ(all(goals[0].node(), "line").size(), 2u); // the cross
        const pugi::xml_node circle = goals[0].node().child("circle"), link = links[0].node();
        const pugi::xml_node arm = view.node().select_node("polygon[@data-bone='2']").node();
        EXPECT_STREQ(circle.attribute("fill").value(), arm.attribute("fill").value()); // both Red
        EXPECT_EQ(link.attribute("data-bone").as_int(), 2);
        EXPECT_LT(distance({number(link, "x1"), number(link, "y1")}, pointsOf(arm)[2]), 0.01);
        EXPECT_LT(distance({number(link, "x2"), number(link, "y2")}, {number(circle, "cx"), number(circle, "cy")}),
                  0.01);
        // The other null is a plain marker; the object and the light are not drawn.
        EXPECT_EQ(textOf(view.node(), "rect[@class='null']/title"), "Helper");
        EXPECT_EQ(all(view.node(), ".//title").size(), 7u); // five bones, the goal, the null
    }
}

TEST(RigPicture, everyViewHasItsLabelAxesAndARoundScaleWhateverTheRig) {
    Rig far = typicalRig(), point, none;
    for (auto *ends : {&far.placement.base, &far.placement.tip})
        for (Vec3 &p : *ends)
            p = {p[0] + 1000, p[1] - 1000, p[2] + 1000};
    point.add(ItemKind::Bone, "Only", -1, {7, 7, 7}, {7, 7, 7});
    const struct {
        const char *name;
        Rig rig;
        const char *axesAt;
    } cases[] = {{"typical", typicalRig(), "origin"},
                 {"far from the origin", far, "corner"},
                 {"one point", point, "corner"},
                 {"no items", none, "origin"}};
    const std::string labels[3][3] = {{"Front", "x", "y"}, {"Side", "z", "y"}, {"Top", "x", "z"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        pugi::xml_document doc;
        ASSERT_NO_FATAL_FAILURE(parse(doc, c.rig));
        EXPECT_STREQ(doc.child("svg").attribute("font-family").value(), "sans-serif");
        EXPECT_STREQ(doc.child("svg").child("rect").attribute("fill").value(), "#ffffff");
        const auto views = all(doc, "/svg/g[@class='view']");
        ASSERT_EQ(views.size(), 3u);
        double pixelsPerUnit = 0;
        for (int v = 0; v < 3; ++v) {
            const pugi::xml_node view = views[v].node();
            EXPECT_EQ(textOf(view, "text[@class='view-label']").rfind(labels[v][0], 0), 0u);
            EXPECT_EQ(view.select_node("g[@class='axes']").node().attribute("data-at").value(), std::string(c.axesAt));
            EXPECT_EQ(textOf(view, "g[@class='axes']/text[1]"), labels[v][1]);
            EXPECT_EQ(textOf(view, "g[@class='axes']/text[2]"), labels[v][2]);
            const std::string label = textOf(view, ".//text[@class='scale-label']");
            const double length = std::strtod(label.c_str(), nullptr);
            const double mantissa = length / std::pow(10.0, std::floor(std::log10(length) + 1e-9));
            EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 || std::abs(mantissa - 5) < 1e-9)
                << label;
            const pugi::xml_node bar = view.select_node(".//line[@class='scale-bar']").node();
            const double barPixels = number(bar, "x2") - number(bar, "x1");
            EXPECT_GT(barPixels, 30) << label;
            // One scale for all views and directions, the bar's and the bones'.
            pixelsPerUnit = v == 0 ? barPixels / length : pixelsPerUnit;
            EXPECT_NEAR(barPixels / length, pixelsPerUnit, pixelsPerUnit * 1e-3);
            if (std::string(c.name) != "typical")
                continue;
            const double root[3] = {3, 3, 0},
                         arm[3] = {std::hypot(1.5, 0.5), std::hypot(0.5, 0.5), std::hypot(1.5, 0.5)};
            const auto rootShape = pointsOf(view.select_node("polygon[@data-bone='1']").node());
            const auto armShape = pointsOf(view.select_node("polygon[@data-bone='2']").node());
            if (root[v] > 0) { // seen end-on from the top
                EXPECT_NEAR(distance(rootShape[0], rootShape[2]), root[v] * pixelsPerUnit, 0.02);
            }
            EXPECT_NEAR(distance(armShape[0], armShape[2]), arm[v] * pixelsPerUnit, 0.02);
        }
    }
}

TEST(RigPicture, hostileNamesStillMakeWellFormedXml) {
    Rig r;
    const int object = r.add(ItemKind::Object, "a&b<c>.lwo", -1, {0, 0, 0}, {0, 0, 0});
    const std::string hostile = "<&\"'\x01\t\xff\xc3\xa9\xed\xa0\x80\xef\xbf\xbe\xf0\x9f\x98\x80\xe2\x82";
    r.add(ItemKind::Bone, hostile, object, {0, 0, 0}, {0, 1, 0}, 3, 2);
    r.add(ItemKind::NullObject, "]]><!--", object, {1, 1, 0}, {1, 1, 0});
    pugi::xml_document doc;
    ASSERT_NO_FATAL_FAILURE(parse(doc, r));
    // Control bytes become spaces, valid UTF-8 stays, each byte of a broken
    // sequence, a surrogate or a non-character becomes '?'.
    const std::string name = "<&\"'  ?\xc3\xa9??????\xf0\x9f\x98\x80??";
    EXPECT_EQ(all(doc, "//polygon[@class='bone']").size(), 3u);
    for (const auto &bone : all(doc, "//polygon[@class='bone']"))
        EXPECT_EQ(bone.node().child_value("title"), "1 " + name + " (parent: a&b<c>.lwo)");
    EXPECT_EQ(textOf(doc, "//g[@class='goal']/title"), "]]><!-- (goal of 1 " + name + ")");
}

// Counts the coordinates under `node`, each finite and on the page.
void expectOnThePage(const pugi::xml_node &node, int &numbers) {
    for (const pugi::xml_attribute &a : node.attributes()) {
        const std::string name = a.name();
        if (name.find_first_not_of("xy12c") != std::string::npos && name != "points")
            continue;
        char *end;
        for (const char *p = a.value(); *p; p = *end ? end + 1 : end, ++numbers) {
            const double value = std::strtod(p, &end);
            ASSERT_NE(end, p) << name << "=" << a.value();
            EXPECT_TRUE(value >= 0 && value <= 1100) << name << "=" << a.value(); // false for NaN
        }
    }
    for (const pugi::xml_node &child : node.children())
        expectOnThePage(child, numbers);
}

TEST(RigPicture, extremeCoordinatesGiveOnlyFiniteNumbersOnThePage) {
    const double nan = std::nan(""), inf = INFINITY;
    const struct {
        const char *name;
        std::vector<std::pair<Vec3, Vec3>> bones; // base, tip
        size_t shapes;                            // per view
    } cases[] = {
        {"huge", {{{1e6, -1e6, 1e6}, {-1e6, 1e6, 2e6}}, {{3e6, 0, 0}, {3e6, 1, 0}}}, 2},
        {"tiny", {{{1e-6, 0, 0}, {-1e-6, 2e-6, 0}}, {{0, 0, 0}, {0, 0, 1e-7}}}, 2},
        {"both ends of double", {{{-1.7e308, 1.7e308, 0}, {1.7e308, -1.7e308, 1.7e308}}, {{0, 0, 0}, {1, 1, 1}}}, 2},
        {"subnormal extent", {{{0, 0, 0}, {4.9e-324, 0, 0}}}, 1},
        {"not finite", {{{nan, 0, 0}, {0, 1, 0}}, {{0, 0, 0}, {inf, 0, 0}}, {{nan, nan, nan}, {-inf, 0, 0}}}, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        const int goal = r.add(ItemKind::NullObject, "Goal", -1, c.bones[0].second, c.bones[0].second, 5);
        for (const auto &[base, tip] : c.bones)
            r.add(ItemKind::Bone, "b", -1, base, tip, 1, goal);
        r.add(ItemKind::NullObject, "Beyond the placement", -1, {}, {});
        r.placement.base.pop_back();
        pugi::xml_document doc;
        ASSERT_NO_FATAL_FAILURE(parse(doc, r));
        EXPECT_EQ(all(doc, "//polygon[@class='bone']").size(), 3 * c.shapes);
        EXPECT_EQ(all(doc, "//text[@class='scale-label']").size(), 3u);
        int numbers = 0;
        expectOnThePage(doc.document_element(), numbers);
        EXPECT_GT(numbers, 100);
    }
}

} // namespace
