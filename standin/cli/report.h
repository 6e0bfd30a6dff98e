// What the command tells a rigger about a scene: the run's summary line,
// the bone tree and the bone table for scripts.
#pragma once

#include <string>
#include <vector>

#include "standin/scene_reader/rig.h"
#include "standin/scene_reader/scene_reader.h"

namespace standin {

// The counts of the summary, read from a written scene.
struct SceneCounts {
    int chainBones = 0;  // bones that are not goal bones
    int chains = 0;      // chain bones whose parent is the scene's first object
    int goalBones = 0;   // bones with a GoalObject line and strength 0, as Spindle writes them
    int goalObjects = 0; // null objects after the first object
};
SceneCounts countScene(const Scene &scene);

// "SCENE: 5 chain bones in 2 chains, 2 goal bones, 2 goal objects", each
// count of 1 in the singular.
std::string summaryLine(const std::string &scenePath, const SceneCounts &counts);

// The hierarchy, one line per object or bone (lights and cameras left out),
// two blanks of indent per level below its parent item, children in file
// order.  An object line is its name; a bone line its number among the
// scene's bones, a blank and its name, then " -> " and the goal's name when
// it has one.  Every line ends with '\n'; control bytes are escaped.
std::string treeText(const Scene &scene);

// One tab-separated line per bone in file order: number, name, parent (a
// bone number, or the object's name), base x y z, tip x y z as "%.6f".
std::string bonesText(const Scene &scene, const RigPlacement &placement);

} // namespace standin
