// The command line's glTF options: their help texts, and the check of the
// file named for --gltf.
#pragma once

#include <string>

#include "standin/gltf/mesh_document.h"

namespace standin {

// Help texts, wrapped to the usage text's columns.
inline constexpr const char *kGltfHelp =
    "also write the rig as glTF 2.0, with the model's faces\n"
    "                            skinned to its bones: FILE.glb binary, FILE.gltf\n"
    "                            JSON with the buffer inside; from an LWO model z is\n"
    "                            negated (its frame is left-handed), from an OBJ model\n"
    "                            the numbers are written as they are";
inline constexpr const char *kShowOutputHelp =
    "draw the scene in three views into FILE (SVG); for\n"
    "                            FILE.glb or FILE.gltf write its rig as glTF 2.0, with\n"
    "                            the faces of the object file the scene loads, in that\n"
    "                            file's frame (an OBJ: as it is) or else the scene's own\n"
    "                            (z negated)";
inline constexpr const char *kJoinLinesHelp =
    "OBJ: join `l` lines that continue one another into one curve\n"
    "                            (where exactly one line ends and one starts, no other\n"
    "                            line touches, and both have the same material)";

inline constexpr const char *kWeightsHelp =
    "how --gltf binds the model's faces to the bones: surface\n"
    "                            (the default) spreads each bone's weight along the\n"
    "                            body from where the body wraps it, so no limb moves\n"
    "                            another across the air between them; distance takes\n"
    "                            the four nearest bones in a straight line, weighted\n"
    "                            1/d^4, as the animation package binds by distance";

inline constexpr const char *kViewHelp =
    "also write FILE.html, one page that shows the rig in a\n"
    "                            browser, the model skinned to it as --gltf writes\n"
    "                            it, to pose by dragging its goals";
inline constexpr const char *kViewSceneHelp =
    "the page to write (FILE.html), as a run's --view\n"
    "                            writes it: the rig with the faces of the object\n"
    "                            file the scene loads; --weights and -q as for a run";

// Takes `value` as the --weights method ("surface" or "distance"); false
// with the one-line reason otherwise.
bool takeWeights(const std::string &value, gltf::Weights &weights, std::string &reason);

// Takes `value` as the --gltf file when it ends in .glb or .gltf; false
// with the one-line reason otherwise.
bool takeGltfPath(const std::string &value, std::string &path, std::string &reason);

// Takes `value` as the page to write (--view, or -o of spindle view) when it
// ends in .html or .htm; false with the one-line reason otherwise.
bool takePagePath(const std::string &value, std::string &path, std::string &reason);

} // namespace standin
