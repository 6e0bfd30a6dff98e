// Scene files read whole, and what is settled once the whole text is read:
// the parent and goal lines resolved to items (they may name items further
// on), the parent loops refused, and each item's position keys put together
// from its channels.
#include "standin/scene_reader/scene_parse.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "standin/platform/platform.h"
#include "standin/scene_reader/finite_text.h"

namespace standin {
namespace lws {
namespace {

// An item id of ParentItem: "1000000N" object N and "2000000N" light N,
// "3000000N" camera N (all from 0, objects and null objects counted
// together), "4BBBOOOO" bone BBB of object OOOO (hexadecimal, from 0).
int itemById(const Parser &p, uint32_t id) {
    const uint32_t kind = id >> 28;
    const uint32_t index = id & 0x0FFFFFFFu;
    const auto pick = [](const std::vector<int> &items, size_t at) { return at < items.size() ? items[at] : -1; };
    switch (kind) {
    case 1: return pick(p.objects, index);
    case 2: return pick(p.lights, index);
    case 3: return pick(p.cameras, index);
    case 4: {
        const uint32_t object = id & 0xFFFFu;
        return object < p.bones.size() ? pick(p.bones[object], (id >> 16) & 0xFFFu) : -1;
    }
    default: return -1;
    }
}

} // namespace

bool Parser::resolve() {
    for (const Link &link : links) {
        SceneItem &item = scene.items[size_t(link.item)];
        const auto nth = [&](const std::vector<int> &items) {
            return link.value >= 1 && size_t(link.value) <= items.size() ? items[size_t(link.value - 1)] : -1;
        };
        int target = -1;
        const char *what = "GoalObject";
        switch (link.kind) {
        case Reference::ParentItem:
            target = itemById(*this, uint32_t(link.value));
            what = "ParentItem";
            break;
        case Reference::ParentObject:
            // A bone's ParentObject counts the bones of its own object.
            target = nth(item.kind == ItemKind::Bone ? bones[size_t(ordinal[size_t(item.object)])] : objects);
            what = "ParentObject";
            break;
        case Reference::GoalObject: target = nth(objects); break;
        }
        if (target < 0)
            return fail(link.line, std::string(what) + " names no item");
        if (link.kind == Reference::GoalObject) {
            item.goal = target;
        } else {
            item.parent = target;
            parentLine[size_t(link.item)] = link.line;
        }
    }
    // A bone with no parent line hangs from its object.
    for (size_t i = 0; i < scene.items.size(); ++i)
        if (scene.items[i].kind == ItemKind::Bone && parentLine[i] == 0)
            scene.items[i].parent = scene.items[i].object;
    return true;
}

// Each item is marked at most twice (0 not reached, 1 on the current walk,
// 2 known to end at a root), so the check is linear.
bool Parser::checkLoops() {
    std::vector<uint8_t> mark(scene.items.size(), 0);
    const auto parent = [&](int i) { return scene.items[size_t(i)].parent; };
    for (int i = 0; i < int(scene.items.size()); ++i) {
        int p = i;
        while (p >= 0 && mark[size_t(p)] == 0) {
            mark[size_t(p)] = 1;
            p = parent(p);
        }
        if (p >= 0 && mark[size_t(p)] == 1) {
            // The first parent line met going round: only a bone's parent
            // can come without one, and that is an object, whose own parent
            // needs a line.
            int q = p;
            do {
                if (parentLine[size_t(q)] != 0)
                    return fail(parentLine[size_t(q)], "parents form a loop");
                q = parent(q);
            } while (q != p);
            return fail(scene.items[size_t(p)].line, "parents form a loop");
        }
        for (int q = i; q != p; q = parent(q))
            mark[size_t(q)] = 2;
    }
    return true;
}

// A channel with fewer keys than the others holds its last value; one with
// none is 0.
void Parser::composePositions() {
    for (size_t i = 0; i < scene.items.size(); ++i) {
        const std::array<std::vector<double>, 3> &channels = keys[i];
        size_t count = 0;
        for (const std::vector<double> &c : channels)
            count = std::max(count, c.size());
        std::vector<Vec3> &positions = scene.items[i].positions;
        positions.resize(count);
        for (size_t k = 0; k < count; ++k)
            for (size_t c = 0; c < 3; ++c)
                positions[k][c] = channels[c].empty() ? 0.0 : channels[c][std::min(k, channels[c].size() - 1)];
    }
}

} // namespace lws

namespace {

bool cannotRead(const std::string &why, std::string &reason) {
    reason = "cannot be read (" + why + ")";
    return false;
}

} // namespace

bool readSceneText(const char *text, size_t size, Scene &scene, std::string &reason) {
    scene = Scene{};
    bool ok = false;
    try {
        lws::Parser parser(text, size, scene, reason);
        ok = parser.read() && parser.resolve() && parser.checkLoops();
        if (ok)
            parser.composePositions();
    } catch (const std::bad_alloc &) {
        ok = cannotRead("not enough memory", reason);
    }
    if (!ok)
        scene = Scene{};
    return ok;
}

bool readScene(const std::string &path, Scene &scene, std::string &reason, SceneNumbers numbers) {
    scene = Scene{};
    platform::FileKind kind;
    std::string why;
    if (!platform::fileKind(path, kind, why))
        return cannotRead(why, reason);
    if (kind == platform::FileKind::Folder)
        return cannotRead(std::strerror(EISDIR), reason);
    // A device such as /dev/zero never ends.
    if (kind == platform::FileKind::Device)
        return cannotRead("a device, not a scene file", reason);
    // Opened without waiting for a FIFO's writer.
    std::string text;
    try {
        if (!platform::readWholeFile(path, text, why))
            return cannotRead(why, reason);
    } catch (const std::bad_alloc &) {
        return cannotRead("not enough memory", reason);
    }
    if (readSceneText(text.data(), text.size(), scene, reason))
        return true;
    if (numbers != SceneNumbers::ForTheRig)
        return false;
    const std::string mended = finiteSceneText(text);
    // A failed read leaves the scene empty, and the reason the first one's.
    return readSceneText(mended.data(), mended.size(), scene, why);
}

bool isObject(const SceneItem &item) { return item.kind == ItemKind::Object || item.kind == ItemKind::NullObject; }

int firstObject(const Scene &scene) {
    for (size_t i = 0; i < scene.items.size(); ++i)
        if (isObject(scene.items[i]))
            return int(i);
    return -1;
}

} // namespace standin
