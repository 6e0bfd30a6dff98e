// The rig of a scene as a glTF document: a root node, one node per bone in
// the scene's hierarchy with +Y along the bone, an end joint at the tip of
// each bone that no child bone continues, one skin over all of them, and
// the goal nulls as plain nodes.
#pragma once

#include <string>
#include <vector>

#include "standin/gltf/document.h"
#include "standin/gltf/frame_rule.h"
#include "standin/gltf/names.h"
#include "standin/scene_reader/rig.h"
#include "standin/scene_reader/scene_reader.h"

namespace standin::gltf {

struct RigDocument {
    Document document;
    NameBook names;             // every name in the document, for items added later
    int root = 0;               // the root node
    int skin = -1;              // the skin, or -1 when the scene has no bones
    std::vector<int> boneNode;  // per scene item: a bone's node, or -1
    std::vector<int> boneJoint; // per scene item: a bone's place in the skin's joints, or -1
};

// The root node's name: the file name, without folder or extension, of the
// object the scene loads first, or "Armature" for a null object or none.
std::string rigRootName(const Scene &scene);

// Builds the rig of `scene`, placed as `placed` (placeRig with
// NotFinite::PutRight).  `generator` goes into the asset record.
RigDocument rigDocument(const Scene &scene, const RigPlacement &placed, FrameRule rule, const std::string &generator);

} // namespace standin::gltf
