// The page: its facts, its template and the file it becomes.
#include "standin/view/page.h"

#include <string_view>

#include "standin/gltf/json_text.h"
#include "standin/platform/platform.h"
#include "standin/platform/safe_file.h"

namespace standin {

namespace {

constexpr std::string_view kFactsMark = "@SPINDLE_FACTS@";
constexpr std::string_view kGlbMark = "@SPINDLE_GLB@";

void appendList(std::string &out, const std::vector<std::string> &lines) {
    out += '[';
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out += ',';
        gltf::appendScriptJsonString(out, lines[i]);
    }
    out += ']';
}

// Where `mark` is, when the text holds it exactly once.
bool onlyPlace(const std::string &text, std::string_view mark, size_t &at) {
    at = text.find(mark);
    return at != std::string::npos && text.find(mark, at + 1) == std::string::npos;
}

} // namespace

std::string factsJson(const PageFacts &facts) {
    std::string out = "{\"title\":";
    gltf::appendScriptJsonString(out, facts.title);
    out += ",\"summary\":";
    gltf::appendScriptJsonString(out, facts.summary);
    out += ",\"notes\":";
    appendList(out, facts.notes);
    out += ",\"tree\":";
    appendList(out, facts.tree);
    out += ",\"glbBytes\":" + std::to_string(facts.glbBytes) + "}";
    return out;
}

bool readPageTemplate(const std::string &path, PageTemplate &page, std::string &reason, bool &unreadable) {
    page = PageTemplate{};
    unreadable = true;
    platform::FileKind kind;
    if (!platform::fileKind(path, kind, reason))
        return false;
    if (kind != platform::FileKind::Regular) {
        reason = "not a regular file";
        return false;
    }
    if (!platform::readWholeFile(path, page.text, reason))
        return false;
    unreadable = false;
    if (!onlyPlace(page.text, kFactsMark, page.facts) || !onlyPlace(page.text, kGlbMark, page.glb)) {
        reason = "not a page template (it holds @SPINDLE_FACTS@ and @SPINDLE_GLB@ once each)";
        return false;
    }
    return true;
}

bool writePage(const std::string &path, const PageTemplate &page, const std::string &facts, const gltf::GlbLayout &glb,
               size_t &pageBytes, std::string &why) {
    const std::string base64 = gltf::base64Text(glb.pieces);
    const std::string_view text = page.text;
    const bool factsFirst = page.facts < page.glb;
    const size_t first = factsFirst ? page.facts : page.glb;
    const size_t second = factsFirst ? page.glb : page.facts;
    const size_t firstEnd = first + (factsFirst ? kFactsMark : kGlbMark).size();
    const size_t secondEnd = second + (factsFirst ? kGlbMark : kFactsMark).size();
    const std::string_view firstFill = factsFirst ? std::string_view(facts) : std::string_view(base64);
    const std::string_view secondFill = factsFirst ? std::string_view(base64) : std::string_view(facts);
    const std::vector<std::string_view> pieces = {
        text.substr(0, first), firstFill, text.substr(firstEnd, second - firstEnd), secondFill, text.substr(secondEnd)};
    pageBytes = 0;
    for (std::string_view piece : pieces)
        pageBytes += piece.size();
    return platform::writeFileSafely(path, pieces, why);
}

} // namespace standin
