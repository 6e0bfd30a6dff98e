// A scene whose names hold what breaks careless writers of JSON and of
// names: quotes, backslashes, control bytes, "</script>", bytes that are
// not UTF-8, and names that three.js would make alike.
#pragma once

#include <string>

namespace gltftest {

inline std::string hostileScene() {
    const std::string names[] = {"Quote\"d",  "Back\\slash",   std::string("Ctl\x01\x1f\x7f\tEnd"),
                                 "</script>", "Latin\xE9\xFF", "Sp.ine",
                                 "Spine",     "Spine",         "Spine_7"};
    std::string text = "LWSC\n3\nLoadObjectLayer 1 C:\\Models\\Odd \"body\".lwo\n";
    for (size_t i = 0; i < std::size(names); ++i) {
        text += "AddBone\nBoneName " + names[i] + "\nBoneRestPosition 0 0 " + (i == 0 ? "0" : "0.5") +
            "\nBoneRestDirection 0 " + (i == 0 ? "-90" : "0") + " 0\nBoneRestLength 0.5\n";
        if (i > 0)
            text += std::string("ParentItem 400") + "0123456789"[i - 1] + "0000\n"; // the bone before
    }
    return text + "AddNullObject </script>\n";
}

// A scene as the module writes it for a model whose numbers overflow:
// "inf" and "nan" where numbers should be, which the scene reader refuses.
inline std::string overflowingScene() {
    return "LWSC\n3\nAddNullObject NULL\n"
           "AddBone\nBoneName Root\nBoneRestPosition 0 1 0\nBoneRestDirection 0 -90 0\nBoneRestLength 1\n"
           "AddBone\nBoneName Far\nBoneRestPosition 0 0      inf\nBoneRestDirection     -nan 0 0\n"
           "BoneRestLength      inf\nParentItem 40000000\n"
           "AddBone\nBoneName Near\nBoneRestPosition 0 0 0.5\nBoneRestDirection 0 0 0\nBoneRestLength 0.5\n"
           "ParentItem 40010000\n";
}

} // namespace gltftest
