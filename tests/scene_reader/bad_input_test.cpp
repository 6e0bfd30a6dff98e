// Scene text the reader refuses, each with its one line, and every cut of a
// scene Spindle wrote: read, or refused in one line, never a crash.
#include <gtest/gtest.h>

#include "standin/scene_reader/rig.h"
#include "standin/scene_reader/scene_reader.h"
#include "support/mesh_check.h"
#include "support/support.h"

namespace {

struct BadScene {
    const char *text;
    const char *reason;
};

// After the header and one null object (lines 1-3).
std::string scene(const std::string &body) { return "LWSC\n3\nAddNullObject N\n" + body; }

TEST(BadScene, eachIsRefusedWithItsLineAndReason) {
    const BadScene cases[] = {
        {"", "line 1: not a scene file"},
        {"LWSD\n3\n", "line 1: not a scene file"},
        {"LWSC", "line 2: no version number"},
        {"LWSC\r\nthree\r\n", "line 2: no version number"},
        {"LWSC\n3\nAddBone\n", "line 3: bone before any object"},
        {"AddBone\nBoneRestLength x\n", "line 5: bad number in BoneRestLength"},
        {"AddBone\r\nBoneRestPosition 0 0\r\n", "line 5: bad number in BoneRestPosition"},
        {"AddBone\nBoneRestDirection 0, nan, 0\n", "line 5: bad number in BoneRestDirection"},
        {"AddBone\nBoneActive yes\n", "line 5: bad number in BoneActive"},
        {"AddBone\nShowBone 1\n", "line 5: bad number in ShowBone"},
        {"ShowObject 4 1e400\n", "line 4: bad number in ShowObject"},
        {"ObjectMotion\nNumChannels 9\nChannel 0\n{ Envelope\n  1\n  Key 0 0 0", "line 6: channel block cut short"},
        {"Channel 1\n{ Envelope\n  1\n  Key 1e999 0\n}\n", "line 7: bad number in Key"},
        {"Channel x\n", "line 4: bad number in Channel"},
        {"Channel 0\nKey 0 0\n", "line 5: Channel without its envelope"},
        {"ObjectMotion (unnamed)\n  9\n  2\n  0 0 0 0 0 0 1 1 1\n  0 0 0 0 0\n  0 0 0 0 0 0 1 1 1\n",
         "line 4: motion cut short"},
        {"ObjectMotion (unnamed)\n  9\n", "line 4: motion cut short"},
        {"ObjectMotion (unnamed)\n  9\n  1\n  0 y 0 0 0 0 1 1 1\n  0 0 0 0 0\n", "line 7: bad number in motion key"},
        {"ObjectMotion (unnamed)\n  9\n  -1\n", "line 6: bad number in motion"},
        {"Plugin CustomObjHandler 1 Shape\n{ Group\n\"EndPlugin\"\n", "line 4: plugin block cut short"},
        {"ParentItem 10000001\n", "line 4: ParentItem names no item"},
        {"AddBone\nParentItem 40010000\n", "line 5: ParentItem names no item"},
        {"AddBone\nParentItem 40000001\n", "line 5: ParentItem names no item"},
        {"ParentItem 90000000\n", "line 4: ParentItem names no item"},
        {"ParentItem 4000zz00\n", "line 4: bad number in ParentItem"},
        {"AddBone\nParentObject 2\n", "line 5: ParentObject names no item"},
        {"ParentObject 0\n", "line 4: ParentObject names no item"},
        {"AddBone\nGoalObject 2\n", "line 5: GoalObject names no item"},
        {"GoalObject one\n", "line 4: bad number in GoalObject"},
        {"AddBone\nAddBone\nParentItem 40010000\n", "line 6: parents form a loop"},
        {"ParentItem 40000000\nAddBone\n", "line 4: parents form a loop"},
        {"LoadObjectLayer 1\n", "line 4: LoadObjectLayer without a path"},
        {"LoadObjectLayer one a.lwo\n", "line 4: bad number in LoadObjectLayer"},
        {"LoadObject  \r\n", "line 4: LoadObject without a path"},
    };
    for (const BadScene &bad : cases) {
        const std::string text =
            std::string(bad.text).rfind("LWS", 0) == 0 || bad.text[0] == '\0' ? std::string(bad.text) : scene(bad.text);
        standin::Scene read;
        std::string reason;
        EXPECT_FALSE(standin::readSceneText(text.data(), text.size(), read, reason)) << text;
        EXPECT_EQ(reason, bad.reason) << text;
        EXPECT_TRUE(read.items.empty());
    }
}

TEST(BadScene, fileThatCannotBeReadSaysWhy) {
    standin::Scene read;
    std::string reason;
    EXPECT_FALSE(standin::readScene(SPINDLE_TEST_DATA "/scenes", read, reason));
    EXPECT_EQ(reason, "cannot be read (Is a directory)");
    EXPECT_FALSE(standin::readScene(SPINDLE_TEST_DATA "/scenes/absent.lws", read, reason));
    EXPECT_EQ(reason, "cannot be read (" + testsupport::noSuchFileText() + ")");
}

// Every cut of typical.lws at a line end, just before one (after its CR),
// and at every thirteenth byte: the cut scene is read and placed, or refused
// with one line naming a line.
TEST(BadScene, everyCutOfASpindleSceneReadsOrFailsInOneLine) {
    const std::string whole = testsupport::readFile(SPINDLE_TEST_DATA "/scenes/typical.lws");
    ASSERT_GT(whole.size(), 1000u);
    std::vector<size_t> cuts;
    for (size_t at = 0; at <= whole.size(); ++at)
        if (at % 13 == 0 || (at > 0 && whole[at - 1] == '\n') || (at < whole.size() && whole[at] == '\n'))
            cuts.push_back(at);
    size_t refused = 0;
    for (size_t cut : cuts) {
        standin::Scene scene;
        std::string reason;
        if (standin::readSceneText(whole.data(), cut, scene, reason)) {
            const standin::RigPlacement placed = standin::placeRig(scene);
            ASSERT_EQ(placed.base.size(), scene.items.size());
            for (const standin::SceneItem &item : scene.items)
                ASSERT_LT(item.parent, int(scene.items.size())) << cut;
        } else {
            ++refused;
            ASSERT_TRUE(testsupport::startsWithPlace(reason) && reason.rfind("line ", 0) == 0 &&
                        reason.find_first_of("\r\n") == std::string::npos)
                << cut << ": " << reason;
        }
    }
    EXPECT_GT(refused, 0u);
    EXPECT_EQ(cuts.back(), whole.size());
}

} // namespace
