// The page of --view and `spindle view`, end to end: the template filled in
// its two places and nowhere else, never broken by a name, and the runs
// that cannot make one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "gltf/gltf_check.h"
#include "support/module.h"
#include "support/support.h"

namespace {

const std::string kTemplate = std::string(SPINDLE_SOURCE_DIR) + "/tests/view/data/template.html";

// The facts' JSON and the glb's base64 taken back out of a page; a failure
// when the page is not the template with those two in its placeholders.
struct PageParts {
    gltfcheck::JsonValue facts;
    std::string glb;
};

PageParts pageParts(const std::string &page) {
    const std::string text = testsupport::readFile(kTemplate);
    const size_t facts = text.find("@SPINDLE_FACTS@"), glb = text.find("@SPINDLE_GLB@");
    const std::string before = text.substr(0, facts), between = text.substr(facts + 15, glb - facts - 15),
                      after = text.substr(glb + 13);
    PageParts parts;
    const size_t factsEnd = page.find(between, before.size());
    EXPECT_TRUE(page.size() >= before.size() + after.size() && page.compare(0, before.size(), before) == 0 &&
                factsEnd != std::string::npos && page.compare(page.size() - after.size(), after.size(), after) == 0)
        << "not the template filled in";
    if (factsEnd == std::string::npos)
        return parts;
    std::string error;
    EXPECT_TRUE(gltfcheck::JsonReader(page.substr(before.size(), factsEnd - before.size())).read(parts.facts, error))
        << error;
    const size_t glbStart = factsEnd + between.size();
    EXPECT_TRUE(gltfcheck::decodeBase64(page.substr(glbStart, page.size() - after.size() - glbStart), parts.glb));
    return parts;
}

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> all;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        all.push_back(text.substr(start, end - start));
    }
    return all;
}

std::vector<std::string> texts(const gltfcheck::JsonValue *list) {
    std::vector<std::string> all;
    if (list)
        for (const gltfcheck::JsonValue &item : list->items)
            all.push_back(item.text);
    return all;
}

class ViewPage : public testing::Test {
  protected:
    std::string at(const std::string &name) const { return testsupport::join(folder, name); }
    std::vector<std::string> files() const { return testsupport::namesIn(folder); }

    testsupport::TempDir temp;
    std::string folder = temp.path;
};

} // namespace

// The body: its page holds the very bytes --gltf writes, and the summary,
// tree and notes as the run printed them; `spindle view` of the scene
// holds what `spindle show -o FILE.glb` writes, with the same summary.
TEST_F(ViewPage, holdsTheGltfBytesAndWhatTheRunPrinted) {
    const std::string model = at("body.lwo");
    ASSERT_TRUE(testsupport::writeFile(model, testsupport::readFile(std::string(SPINDLE_EXAMPLES) + "/body.lwo")));
    ASSERT_EQ(
        testsupport::runSpindle({"-q", "-o", at("glb.lws"), "--object", model, "--gltf", at("body.glb"), model}).status,
        0);
    const testsupport::CommandRun run = testsupport::runSpindle(
        {"--tree", "--object", model, "--view", at("body.html"), "--view-template", kTemplate, model});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string page = testsupport::readFile(at("body.html"));
    const PageParts parts = pageParts(page);
    EXPECT_EQ(parts.glb, testsupport::readFile(at("body.glb")));
    const std::vector<std::string> out = lines(run.out);
    ASSERT_EQ(out.size(), 2u + 37 + 1) << run.out; // the module's line, the summary, the tree, the page's line
    EXPECT_EQ(out.back(), at("body.html") + ": page of " + std::to_string(page.size()) + " bytes");
    const gltfcheck::JsonValue &facts = parts.facts;
    ASSERT_EQ(facts.keys, (std::vector<std::string>{"title", "summary", "notes", "tree", "glbBytes"}));
    EXPECT_EQ(facts.get("title")->text, "body");
    EXPECT_EQ(facts.get("summary")->text, out[1]);
    EXPECT_EQ(texts(facts.get("tree")), std::vector<std::string>(out.begin() + 2, out.end() - 1));
    EXPECT_EQ(texts(facts.get("notes")), lines(run.err));
    EXPECT_EQ(texts(facts.get("notes")).size(), 2u);
    EXPECT_EQ(facts.get("glbBytes")->number, double(parts.glb.size()));

    const testsupport::CommandRun view =
        testsupport::runSpindle({"view", "-o", at("scene.html"), "--view-template", kTemplate, at("body.lws")});
    ASSERT_EQ(view.status, 0) << view.err;
    EXPECT_EQ(view.out,
              at("scene.html") + ": page of " + std::to_string(testsupport::readFile(at("scene.html")).size()) +
                  " bytes\n");
    ASSERT_EQ(testsupport::runSpindle({"show", "-o", at("shown.glb"), at("body.lws")}).status, 0);
    const PageParts shown = pageParts(testsupport::readFile(at("scene.html")));
    EXPECT_EQ(shown.glb, testsupport::readFile(at("shown.glb")));
    EXPECT_EQ(shown.facts.get("summary")->text, out[1]);
    EXPECT_EQ(texts(shown.facts.get("notes")), std::vector<std::string>{});
}

// A bone named to end the script element and start another, with the
// characters an HTML or JavaScript reader takes for more than text: only
// escaped in the page, and read back whole from the facts.
TEST_F(ViewPage, aHostileNameIsOnlyEverEscaped) {
    const std::string name = "</script><script>alert(1)</script>&\xE2\x80\xA8<!--";
    const std::string model = at("rig.obj");
    ASSERT_TRUE(testsupport::writeFile(model, "v 0 0 0\nv 0 1 0\nv 0 2 0\nusemtl " + name + "\nl 1 2 3\n"));
    const testsupport::CommandRun run =
        testsupport::runSpindle({"-q", "--view", at("rig.html"), "--view-template", kTemplate, model});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string page = testsupport::readFile(at("rig.html"));
    const std::string text = testsupport::readFile(kTemplate);
    const auto count = [](const std::string &in, const std::string &what) {
        size_t n = 0;
        for (size_t at = in.find(what); at != std::string::npos; at = in.find(what, at + 1))
            ++n;
        return n;
    };
    for (const char *raw : {"<script", "</script", "<!--", "&", "\xE2\x80\xA8"})
        EXPECT_EQ(count(page, raw), count(text, raw)) << raw;
    const std::vector<std::string> tree = texts(pageParts(page).facts.get("tree"));
    ASSERT_GE(tree.size(), 2u);
    EXPECT_EQ(tree[1], "  1 " + name);
}

// No template, or one without its placeholders: one line, status 2, and
// nothing written, not even the scene.
TEST_F(ViewPage, withoutATemplateNothingIsWritten) {
    const std::string model = at("rig.obj");
    ASSERT_TRUE(testsupport::writeFile(model, "v 0 0 0\nv 0 1 0\nusemtl Spine\nl 1 2\n"));
    const std::string scene = at("given.lws");
    ASSERT_TRUE(testsupport::writeFile(scene, "LWSC\n3\nAddNullObject N\n"));
    const std::string notTemplate = at("plain.html");
    ASSERT_TRUE(testsupport::writeFile(notTemplate, "<p>@SPINDLE_FACTS@ @SPINDLE_FACTS@ @SPINDLE_GLB@</p>\n"));
    for (const std::string &given : {at("missing.html"), notTemplate})
        for (bool view : {false, true}) {
            const testsupport::CommandRun run = view
                ? testsupport::runSpindle({"view", "-o", at("page.html"), "--view-template", given, scene})
                : testsupport::runSpindle({"--view", at("page.html"), "--view-template", given, model});
            EXPECT_EQ(run.status, 2) << given;
            EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
            EXPECT_EQ(run.err.rfind("spindle: " + given + ": ", 0), 0u) << run.err;
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(files(), (std::vector<std::string>{"given.lws", "plain.html", "rig.obj"}));
        }
}

// A page that cannot be written, or made from a scene without bones: one
// line, status 1, the scene kept, and no page or temporary file beside it.
TEST_F(ViewPage, aPageNotWrittenLeavesTheSceneAndNothingElse) {
    const std::string model = at("rig.obj");
    ASSERT_TRUE(testsupport::writeFile(model, "v 0 0 0\nv 0 1 0\nusemtl Spine\nl 1 2\n"));
    std::filesystem::create_directory(at("page.html"));
    const testsupport::CommandRun run =
        testsupport::runSpindle({"-q", "--view", at("page.html"), "--view-template", kTemplate, model});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("spindle: " + at("page.html") + ": cannot be written (", 0), 0u) << run.err;
    EXPECT_EQ(files(), (std::vector<std::string>{"page.html", "rig.lws", "rig.obj"}));
    EXPECT_TRUE(std::filesystem::is_empty(at("page.html")));

    const std::string bare = at("bare.lws");
    ASSERT_TRUE(testsupport::writeFile(bare, "LWSC\n3\nAddNullObject N\n"));
    const testsupport::CommandRun none =
        testsupport::runSpindle({"view", "-o", at("bare.html"), "--view-template", kTemplate, bare});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "spindle: " + at("bare.html") + ": not written: " + bare + " has no bones to pose\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"bare.lws", "page.html", "rig.lws", "rig.obj"}));
}
