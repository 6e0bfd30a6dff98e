// The scene reader: the items of a scene text file as the animation package
// reads them, from Spindle's own scenes and from the package's (LWSC 3 and
// the older LWSC 1), parents and goals resolved to items, every value as
// the file gives it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace standin {

using Vec3 = std::array<double, 3>;

enum class ItemKind { Object, NullObject, Bone, Light, Camera };

// One item of the scene, in file order.
struct SceneItem {
    ItemKind kind = ItemKind::Object;
    // Object: the path of LoadObjectLayer / LoadObject as written; null
    // object: its name; bone: BoneName; light: LightName; camera: "Camera".
    std::string name;
    size_t line = 0;             // the line that adds the item, from 1
    int parent = -1;             // index into Scene::items of the parent item; -1 none
    std::vector<Vec3> positions; // position keys (channels 0-2 / x y z), in key order

    // Bones only.
    int object = -1;       // index into Scene::items of the object the bone belongs to
    Vec3 restPosition{};   // BoneRestPosition, in the parent's frame (model units)
    Vec3 restDirection{};  // BoneRestDirection: heading, pitch, bank in degrees
    double restLength = 0; // BoneRestLength
    double strength = 1;   // BoneStrength
    bool active = true;    // BoneActive
    int color = 0;         // second value of ShowBone (objects: of ShowObject); 0 when none
    int goal = -1;         // index into Scene::items of the GoalObject; -1 none (the package's nulls carry one too)
};

struct Scene {
    int version = 0;              // the number after "LWSC"
    std::vector<SceneItem> items; // objects, null objects, bones, lights, cameras in file order
};

// What a scene's numbers that are not finite do to the read.
enum class SceneNumbers {
    Finite,   // the scene is refused, at the first such number
    ForTheRig // read anyway, every such number in a bone's rest values or a
              // motion key taken as 1e300 with its sign, which the rig
              // takes as not finite (see rig.h); the reason is the
              // refusal's when the scene cannot be read either way
};

// Whether an item is an object loaded from a file or a null object.
bool isObject(const SceneItem &item);

// The index of the scene's first object or null object (the one whose
// bones define model space, and which names the rig), or -1 when it has
// none.
int firstObject(const Scene &scene);

// Reads a scene file.  On failure returns false with one line
// "line N: REASON" (or "cannot be read (...)") and leaves `scene` empty.
// Lines and sections it does not know are passed over.
bool readScene(const std::string &path, Scene &scene, std::string &reason, SceneNumbers numbers = SceneNumbers::Finite);

// The same for text already in memory.
bool readSceneText(const char *text, size_t size, Scene &scene, std::string &reason);

} // namespace standin
