// Hostile scene text for the scene reader, and every scene it reads placed
// in model space.  Inputs that do not start with "LWSC" get "LWSC\n" put in
// front, so every run reaches past the first line.  A refusal must be one
// line naming a line and leave no items; a read scene's every parent, object
// and goal must be one of its items (a bone's object and any goal an object
// or null) and the placement must hold one place per item.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "standin/scene_reader/rig.h"
#include "standin/scene_reader/scene_reader.h"
#include "support/mesh_check.h"

namespace {

[[noreturn]] void fault(const std::string &what) {
    std::fprintf(stderr, "scene check: %s\n", what.c_str());
    std::abort();
}

bool isObject(const standin::Scene &scene, int index) {
    if (index < 0 || size_t(index) >= scene.items.size())
        return false;
    const standin::ItemKind kind = scene.items[size_t(index)].kind;
    return kind == standin::ItemKind::Object || kind == standin::ItemKind::NullObject;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    if (text.compare(0, 4, "LWSC") != 0)
        text.insert(0, "LWSC\n");
    standin::Scene scene;
    std::string reason;
    if (!standin::readSceneText(text.data(), text.size(), scene, reason)) {
        if (!testsupport::startsWithPlace(reason) || reason.compare(0, 5, "line ") != 0 ||
            reason.find_first_of("\r\n") != std::string::npos)
            fault("reason is not one line naming a line: " + reason);
        if (!scene.items.empty())
            fault("refused scene left items behind: " + reason);
        return 0;
    }
    const int count = int(scene.items.size());
    for (int i = 0; i < count; ++i) {
        const standin::SceneItem &item = scene.items[size_t(i)];
        const std::string where = "item " + std::to_string(i) + " of line " + std::to_string(item.line);
        if (item.parent < -1 || item.parent >= count || item.parent == i)
            fault(where + ": parent " + std::to_string(item.parent));
        if (item.goal != -1 && !isObject(scene, item.goal))
            fault(where + ": goal " + std::to_string(item.goal));
        if ((item.kind == standin::ItemKind::Bone) != (item.object != -1) ||
            (item.object != -1 && !isObject(scene, item.object)))
            fault(where + ": object " + std::to_string(item.object));
    }
    const standin::RigPlacement placed = standin::placeRig(scene);
    if (placed.base.size() != size_t(count) || placed.tip.size() != size_t(count))
        fault("placement of " + std::to_string(placed.base.size()) + " items for " + std::to_string(count));
    return 0;
}
