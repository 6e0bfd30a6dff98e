// The rig written for the command.
#include "standin/gltf/rig_export.h"

#include <cstdio>

#include "standin/gltf/gltf_file.h"
#include "standin/modeler/transcript.h"

#ifndef SPINDLE_VERSION
#define SPINDLE_VERSION "unknown"
#endif

namespace standin::gltf {

bool exportRig(const Scene &scene, FrameRule rule, const std::string &path) {
    const RigDocument rig = rigDocument(scene, rule, "Spindle " SPINDLE_VERSION);
    if (!rig.notFinite.empty()) {
        std::string names;
        long number = 0;
        size_t next = 0;
        for (size_t i = 0; i < scene.items.size() && next < rig.notFinite.size(); ++i) {
            if (scene.items[i].kind != ItemKind::Bone)
                continue;
            ++number;
            if (int(i) != rig.notFinite[next])
                continue;
            names += (next == 0 ? "" : ", ") + std::to_string(number) + " " + scene.items[i].name;
            ++next;
        }
        std::fprintf(stderr,
                     "spindle: note: %s: bones with numbers that are not finite, placed at their "
                     "parent's tip with length 0: %s\n",
                     escapeControls(path).c_str(), escapeControls(names).c_str());
    }
    std::string why;
    if (writeGltfFile(path, rig.document, why))
        return true;
    std::fprintf(stderr, "spindle: %s: cannot be written (%s)\n", escapeControls(path).c_str(),
                 escapeControls(why).c_str());
    return false;
}

} // namespace standin::gltf
