// Names as glTF readers need them.
#include <gtest/gtest.h>

#include "standin/gltf/names.h"

using standin::gltf::claimName;
using standin::gltf::NameBook;
using standin::gltf::repairUtf8;
using standin::gltf::threeJsName;

TEST(GltfNames, bytesThatAreNotUtf8BecomeReplacementCharacters) {
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(repairUtf8("Arm \xC3\xA9\xE2\x82\xAC\xF0\x9F\xA6\xB4"), "Arm \xC3\xA9\xE2\x82\xAC\xF0\x9F\xA6\xB4");
    EXPECT_EQ(repairUtf8("\xE9t\xE9"), fffd + "t" + fffd);                // Latin-1
    EXPECT_EQ(repairUtf8("\xC0\xAF"), fffd + fffd);                       // overlong '/'
    EXPECT_EQ(repairUtf8("\xED\xA0\x80"), fffd + fffd + fffd);            // a surrogate
    EXPECT_EQ(repairUtf8("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd); // past U+10FFFF
    EXPECT_EQ(repairUtf8("ab\xE2\x82"), "ab" + fffd + fffd);              // cut short
    EXPECT_EQ(repairUtf8(std::string("a\0b\x01", 4)), std::string("a\0b\x01", 4));
}

TEST(GltfNames, namesStayUniqueAfterThreeJsSanitisesThem) {
    EXPECT_EQ(threeJsName("a b\t[c].d:e/f\xC2\xA0g\xE3\x80\x80h"), "a_b_cdef_g_h");
    NameBook book;
    EXPECT_EQ(claimName(book, "Spine", 1), "Spine");
    EXPECT_EQ(claimName(book, "Spine", 2), "Spine_2");
    EXPECT_EQ(claimName(book, "Sp.ine", 7), "Sp.ine_7"); // three.js would make it "Spine"
    EXPECT_EQ(claimName(book, "Left Arm", 8), "Left Arm");
    EXPECT_EQ(claimName(book, "Left_Arm", 9), "Left_Arm_9");
    EXPECT_EQ(claimName(book, "Spine_2", 10), "Spine_2_10");
    EXPECT_EQ(claimName(book, "Spine", 2), "Spine_2_2"); // "Spine_2" is taken as well
    EXPECT_EQ(claimName(book, "\xFF", 11), "\xEF\xBF\xBD");
    EXPECT_EQ(claimName(book, "\xFE", 12), "\xEF\xBF\xBD_12");
}
