// The scene text read line by line: the header, the items each line adds
// (objects, null objects, bones, lights, cameras) and the keywords kept for
// the item the lines belong to.  Every other line is passed over: the
// package's many settings, comments, and lines that run two keywords
// together ("HJointStiffness 50PController 3").
#include "standin/scene_reader/scene_parse.h"

namespace standin::lws {

int Parser::addItem(ItemKind kind, std::string name) {
    SceneItem item;
    item.kind = kind;
    item.name = std::move(name);
    item.line = lines.number;
    scene.items.push_back(std::move(item));
    keys.emplace_back();
    parentLine.push_back(0);
    int place = 0;
    switch (kind) {
    case ItemKind::Object:
    case ItemKind::NullObject:
        place = int(objects.size());
        objects.push_back(int(scene.items.size()) - 1);
        bones.emplace_back();
        break;
    case ItemKind::Light:
        place = int(lights.size());
        lights.push_back(int(scene.items.size()) - 1);
        break;
    case ItemKind::Camera:
        place = int(cameras.size());
        cameras.push_back(int(scene.items.size()) - 1);
        break;
    case ItemKind::Bone: break; // placed by AddBone
    }
    ordinal.push_back(place);
    current = int(scene.items.size()) - 1;
    return current;
}

bool Parser::read() {
    std::string_view line;
    if (!lines.next(line) || token(line) != "LWSC")
        return fail(1, "not a scene file");
    long long version = 0;
    if (!lines.next(line) || !takeInteger(line, version) || version < 0 || version > 1000000)
        return fail(2, "no version number");
    scene.version = int(version);
    while (lines.next(line)) {
        std::string_view rest = line;
        const std::string_view keyword = token(rest);
        if (keyword.empty() || keyword.substr(0, 2) == "//")
            continue;
        if (!statement(keyword, rest))
            return false;
    }
    return true;
}

bool Parser::statement(std::string_view keyword, std::string_view rest) {
    if (keyword == "LoadObjectLayer" || keyword == "LoadObject") {
        long long layer = 0;
        if (keyword == "LoadObjectLayer" && !takeInteger(rest, layer))
            return badNumber(keyword);
        const std::string_view path = trim(rest);
        if (path.empty())
            return fail(lines.number, std::string(keyword) + " without a path");
        addItem(ItemKind::Object, std::string(path));
    } else if (keyword == "AddNullObject") {
        addItem(ItemKind::NullObject, std::string(trim(rest)));
    } else if (keyword == "AddBone") {
        if (objects.empty())
            return fail(lines.number, "bone before any object");
        const int object = objects.back();
        const int owner = int(objects.size()) - 1;
        const int bone = addItem(ItemKind::Bone, std::string());
        scene.items[size_t(bone)].object = object;
        ordinal[size_t(bone)] = int(bones[size_t(owner)].size());
        bones[size_t(owner)].push_back(bone);
    } else if (keyword == "AddLight") {
        addItem(ItemKind::Light, std::string());
    } else if (keyword == "LightName") {
        if (currentIs(ItemKind::Light))
            scene.items[size_t(current)].name = std::string(trim(rest));
    } else if (keyword == "AddCamera") {
        addItem(ItemKind::Camera, "Camera");
    } else if (keyword == "ShowCamera" || keyword == "CameraMotion") {
        // The older scenes have no AddCamera: the camera's lines make it.
        if (!currentIs(ItemKind::Camera))
            addItem(ItemKind::Camera, "Camera");
        if (keyword == "CameraMotion")
            return motion();
    } else if (keyword == "ObjectMotion" || keyword == "BoneMotion" || keyword == "LightMotion") {
        return motion();
    } else if (keyword == "Channel") {
        return channel(rest);
    } else if (keyword == "Plugin") {
        return plugin();
    } else if (keyword == "ShowObject") {
        long long shown = 0, color = 0;
        if (!currentIs(ItemKind::Object) && !currentIs(ItemKind::NullObject))
            return true;
        if (!takeInteger(rest, shown) || !takeInteger(rest, color) || color < -1000000 || color > 1000000)
            return badNumber(keyword);
        scene.items[size_t(current)].color = int(color);
    } else if (keyword == "ParentItem" || keyword == "ParentObject" || keyword == "GoalObject") {
        if (current < 0)
            return true;
        long long value = 0;
        if (keyword == "ParentItem") {
            uint32_t id = 0;
            if (!takeHexadecimal(rest, id))
                return badNumber(keyword);
            value = id;
        } else if (!takeInteger(rest, value)) {
            return badNumber(keyword);
        }
        const Reference kind = keyword == "ParentItem" ? Reference::ParentItem
            : keyword == "ParentObject"                ? Reference::ParentObject
                                                       : Reference::GoalObject;
        links.push_back(Link{kind, current, value, lines.number});
    } else if (currentIs(ItemKind::Bone)) {
        return boneLine(keyword, rest);
    }
    return true;
}

// The lines of a bone record that say where it rests and how it shows.
bool Parser::boneLine(std::string_view keyword, std::string_view rest) {
    SceneItem &bone = scene.items[size_t(current)];
    if (keyword == "BoneName") {
        bone.name = std::string(trim(rest));
    } else if (keyword == "BoneRestPosition" || keyword == "BoneRestDirection") {
        Vec3 v;
        for (double &x : v)
            if (!takeNumber(rest, x))
                return badNumber(keyword);
        (keyword == "BoneRestPosition" ? bone.restPosition : bone.restDirection) = v;
    } else if (keyword == "BoneRestLength") {
        if (!takeNumber(rest, bone.restLength))
            return badNumber(keyword);
    } else if (keyword == "BoneStrength") {
        if (!takeNumber(rest, bone.strength))
            return badNumber(keyword);
    } else if (keyword == "BoneActive") {
        long long active = 0;
        if (!takeInteger(rest, active))
            return badNumber(keyword);
        bone.active = active != 0;
    } else if (keyword == "ShowBone") {
        long long shown = 0, color = 0;
        if (!takeInteger(rest, shown) || !takeInteger(rest, color) || color < -1000000 || color > 1000000)
            return badNumber(keyword);
        bone.color = int(color);
    }
    return true;
}

} // namespace standin::lws
