// Scenes the animation package wrote: the four real scenes of the shared
// corpus (read in place, never copied here; skipped where the folder is
// absent) and one short text that holds their quirks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "standin/scene_reader/scene_reader.h"

namespace {

using standin::ItemKind;
using standin::Scene;
using testing::ElementsAre;
using testing::ElementsAreArray;

const std::string kCorpus = SPINDLE_SOURCE_DIR "/../shared/corpus/lws";

// The items of one kind, in file order.
std::vector<int> itemsOf(const Scene &scene, ItemKind kind) {
    std::vector<int> found;
    for (size_t i = 0; i < scene.items.size(); ++i)
        if (scene.items[i].kind == kind)
            found.push_back(int(i));
    return found;
}

std::vector<std::string> namesOf(const Scene &scene, ItemKind kind) {
    std::vector<std::string> names;
    for (int i : itemsOf(scene, kind))
        names.push_back(scene.items[size_t(i)].name);
    return names;
}

// The first item of this name; -2 (no item's index, nor "none") when absent.
int named(const Scene &scene, const std::string &name) {
    for (size_t i = 0; i < scene.items.size(); ++i)
        if (scene.items[i].name == name)
            return int(i);
    return -2;
}

// The first item of this name; an empty item when absent.
const standin::SceneItem &item(const Scene &scene, const std::string &name) {
    static const standin::SceneItem absent;
    const int i = named(scene, name);
    return i >= 0 ? scene.items[size_t(i)] : absent;
}

// The name of the item an index names.
std::string nameAt(const Scene &scene, int index) {
    return index >= 0 && size_t(index) < scene.items.size() ? scene.items[size_t(index)].name : "(none)";
}

class RealScene : public testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::is_directory(kCorpus))
            GTEST_SKIP() << kCorpus << " is absent";
    }
    Scene read(const std::string &name) {
        Scene scene;
        std::string reason;
        EXPECT_TRUE(standin::readScene(kCorpus + "/" + name, scene, reason)) << name << ": " << reason;
        return scene;
    }
};

TEST_F(RealScene, smillaHasItsBonesForwardParentAndGoals) {
    const Scene s = read("Smilla_IK.lws");
    EXPECT_EQ(s.version, 3);
    EXPECT_THAT(namesOf(s, ItemKind::Bone),
                ElementsAre("Base", "spine01", "spine02", "spine03", "neck", "head", "hat", "shoulder_right",
                            "shoulder2arm_right", "arm_right", "fore_arm_right", "hand_right", "shoulder_left",
                            "shoulder2arm_left", "arm_left", "fore_arm_left", "hand_left", "basedown", "base2leg_right",
                            "leg_up_right", "leg_down_right", "leg2foot_right", "foot_front_right", "foot_back_right",
                            "base2leg_left", "leg_up_left", "leg_down_left", "leg2foot_left", "foot_front_left",
                            "foot_back_left"));
    EXPECT_EQ(itemsOf(s, ItemKind::Object).size() + itemsOf(s, ItemKind::NullObject).size(), 12u);
    EXPECT_EQ(itemsOf(s, ItemKind::Light).size(), 7u);
    EXPECT_EQ(itemsOf(s, ItemKind::Camera).size(), 1u);
    const int mesh = named(s, "smila/smila.lwo");
    ASSERT_GE(mesh, 0);
    EXPECT_EQ(nameAt(s, item(s, "Base").parent), "basedown");
    EXPECT_EQ(item(s, "basedown").parent, mesh);
    EXPECT_EQ(nameAt(s, s.items[size_t(mesh)].parent), "base_holder");
    for (const char *child : {"neck", "shoulder_right", "shoulder_left"})
        EXPECT_EQ(nameAt(s, item(s, child).parent), "spine03") << child;
    const std::pair<const char *, const char *> goals[] = {{"neck", "neck_target"},
                                                           {"fore_arm_right", "right_elbow_target"},
                                                           {"fore_arm_left", "left_elbow_target"},
                                                           {"foot_front_right", "right_foot_target"},
                                                           {"foot_front_left", "left_foot_target"},
                                                           {"left_arm_endchain", "left_arm_target"},
                                                           {"right_arm_endchain", "right_arm_target"}};
    for (const auto &[from, goal] : goals)
        EXPECT_EQ(nameAt(s, item(s, from).goal), goal) << from;
    for (int bone : itemsOf(s, ItemKind::Bone)) {
        EXPECT_EQ(s.items[size_t(bone)].object, mesh);
        EXPECT_EQ(s.items[size_t(bone)].color, 8);
    }
}

TEST_F(RealScene, acsHasItsEffectorParentsAndGoals) {
    const Scene s = read("acs.lws");
    const std::vector<int> bones = itemsOf(s, ItemKind::Bone);
    ASSERT_EQ(bones.size(), 79u);
    EXPECT_EQ(itemsOf(s, ItemKind::Object).size() + itemsOf(s, ItemKind::NullObject).size(), 19u);
    EXPECT_EQ(s.items[size_t(bones[66])].name, "R_AnkleEff");
    EXPECT_EQ(item(s, "Root").parent, itemsOf(s, ItemKind::Object)[0]);
    EXPECT_EQ(item(s, "R_FootDir").parent, bones[66]);
    EXPECT_EQ(item(s, "R_Hand").parent, bones[64]);
    EXPECT_EQ(item(s, "L_HandDir").parent, bones[69]);
    EXPECT_EQ(nameAt(s, item(s, "L_FtTipGoal").parent), "L_FtCtrl");
    EXPECT_EQ(nameAt(s, item(s, "R_HandDirGoal").parent), "R_HandGoal");
    EXPECT_EQ(nameAt(s, item(s, "HeadEff").goal), "HeadGoal");
    EXPECT_EQ(nameAt(s, item(s, "L_FootTipEff").goal), "L_FtTipGoal");
    EXPECT_EQ(nameAt(s, item(s, "R_ArmEff").goal), "R_ArmGoal");
    size_t goals = 0;
    for (const standin::SceneItem &item : s.items)
        goals += item.goal >= 0;
    EXPECT_EQ(goals, 13u);
}

TEST_F(RealScene, bodyBonesIkHangsItsOldParentsByOrdinal) {
    const Scene s = read("body_bones_ik.lws");
    EXPECT_EQ(s.version, 1);
    const std::vector<int> bones = itemsOf(s, ItemKind::Bone);
    const std::vector<int> meshes = itemsOf(s, ItemKind::Object);
    ASSERT_EQ(bones.size(), 19u);
    ASSERT_EQ(meshes.size(), 3u);
    EXPECT_EQ(itemsOf(s, ItemKind::NullObject).size(), 9u);
    EXPECT_EQ(itemsOf(s, ItemKind::Camera).size(), 1u);
    // ParentObject of bones 2-19, 1-based among the mesh's bones; bone 1 hangs from the mesh.
    const int parents[] = {1, 2, 3, 4, 5, 2, 7, 8, 9, 1, 11, 12, 13, 11, 15, 16, 14, 17};
    EXPECT_EQ(s.items[size_t(bones[0])].parent, meshes[0]);
    for (size_t b = 0; b < bones.size(); ++b) {
        EXPECT_EQ(s.items[size_t(bones[b])].name, "Bone");
        EXPECT_EQ(s.items[size_t(bones[b])].object, meshes[0]);
        if (b > 0) {
            EXPECT_EQ(s.items[size_t(bones[b])].parent, bones[size_t(parents[b - 1] - 1)]) << "bone " << b + 1;
        }
    }
    EXPECT_EQ(nameAt(s, s.items[size_t(bones[4])].goal), "main 1");
    EXPECT_EQ(s.items[size_t(meshes[1])].parent, meshes[0]);
    EXPECT_EQ(s.items[size_t(meshes[2])].parent, meshes[1]);
    EXPECT_THAT(s.items[size_t(bones[0])].positions, ElementsAre(standin::Vec3{0.003857497, -2.148293, 0.125}));
    EXPECT_EQ(s.items[size_t(bones[3])].positions.size(), 2u);
}

TEST_F(RealScene, bouffBonesHasItsNamedHierarchy) {
    const Scene s = read("bouff_bones.lws");
    const std::vector<int> bones = itemsOf(s, ItemKind::Bone);
    EXPECT_THAT(namesOf(s, ItemKind::Bone),
                ElementsAre("Bassin", "OS_Bassin_D", "OS_Bassin_G", "Cuisse_D", "Cuisse_G", "Mollet_D", "Mollet_G",
                            "Pied_D", "Pied_G", "Dos", "Epaule_D", "Epaule_G", "Bras_D", "Bras_G"));
    ASSERT_EQ(bones.size(), 14u);
    const int parents[] = {1, 1, 2, 3, 4, 5, 6, 7, 1, 10, 10, 11, 12};
    EXPECT_EQ(s.items[size_t(bones[0])].parent, itemsOf(s, ItemKind::Object)[0]);
    for (size_t b = 1; b < bones.size(); ++b)
        EXPECT_EQ(s.items[size_t(bones[b])].parent, bones[size_t(parents[b - 1] - 1)]) << "bone " << b + 1;
    EXPECT_THAT(namesOf(s, ItemKind::Light), ElementsAre("Main Light", "BackLight"));
    EXPECT_EQ(itemsOf(s, ItemKind::NullObject).size(), 0u);
    EXPECT_EQ(s.items[0].positions.size(), 2u);
    for (int bone : bones)
        EXPECT_FALSE(s.items[size_t(bone)].active);
}

// The package's quirks in a few lines: a plugin block whose braces do not
// balance and whose strings hold keywords, a stray EndPlugin, comments,
// keywords run together, the older motions and ParentObject (a bone's
// counting its own object's bones), a goal and an item of the newer form
// with a forward ParentItem, the comma form of a rest direction, and the
// implicit camera.  Read the same with LF and with CRLF line ends.
TEST(PackageScene, quirksAreReadOrPassedOver) {
    const std::string text = "LWSC\n1\n\nPlugin MasterHandler 1 .Banks\n{ Group\n  \"EndPlugin\"\n{ MorfForm\n"
                             "  { Envelope\n  }\nEndPlugin\nEndPlugin\n"
                             "LoadObject C:\\objects\\my body.lwo\nShowObject 8 5\nObjectMotion (unnamed)\n  9\n  2\n"
                             "  1 2 3 0 0 0 1 1 1\n  0 0 0 0 0\n  4 5 6 360 0 0 1 1 1\n  30 0 0 0 0\nEndBehavior 1\n"
                             "AddBone\nBoneName Thigh\n// LABEL=Thigh\nHJointStiffness 50PController 3\n"
                             "BoneRestLength 2.5\nGoalObject 3\nAddBone\nBoneName Shin\nShowBone 1 4\n"
                             "BoneRestDirection 10.0, -20.0, 30.0\nBoneActive 0\nParentObject 1\n"
                             "LoadObject second.lwo\nParentObject 1\nAddBone\nBoneName Toe\nParentItem 40010001\n"
                             "AddBone\nBoneName Heel\nAddBone\nBoneName Nail\nParentObject 2\n"
                             "AddNullObject goal one\nObjectMotion\nNumChannels 9\nChannel 1\n{ Envelope\n  2\n"
                             "  Key 7 0 0 0 0 0 0 0 0\n  Key 8 1 0 0 0 0 0 0 0\n  Behaviors 1 1\n}\n"
                             "Channel 5\n{ Envelope\n  1\n  Key 0-0.5 0 0 0 0 0 0 0 0\n  Behaviors 1 1\n}\n"
                             "ParentItem 40010000\nAddLight\nLightName Key light\n"
                             "ShowCamera 1 7\nCameraMotion (unnamed)\n  9\n  1\n  0 0 -4 0 0 0 1 1 1\n  0 0 0 0 0\n";
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (const std::string &form : {text, crlf}) {
        Scene s;
        std::string reason;
        ASSERT_TRUE(standin::readSceneText(form.data(), form.size(), s, reason)) << reason;
        ASSERT_EQ(s.items.size(), 10u);
        const ItemKind kinds[] = {ItemKind::Object, ItemKind::Bone,  ItemKind::Bone, ItemKind::Object,
                                  ItemKind::Bone,   ItemKind::Bone,  ItemKind::Bone, ItemKind::NullObject,
                                  ItemKind::Light,  ItemKind::Camera};
        std::vector<std::string> names;
        for (size_t i = 0; i < s.items.size(); ++i) {
            EXPECT_EQ(s.items[i].kind, kinds[i]) << i;
            names.push_back(s.items[i].name);
        }
        EXPECT_THAT(names,
                    ElementsAre("C:\\objects\\my body.lwo", "Thigh", "Shin", "second.lwo", "Toe", "Heel", "Nail",
                                "goal one", "Key light", "Camera"));
        EXPECT_THAT(s.items[0].positions, ElementsAre(standin::Vec3{1, 2, 3}, standin::Vec3{4, 5, 6}));
        EXPECT_EQ(s.items[0].color, 5);
        EXPECT_EQ(s.items[1].restLength, 2.5);
        EXPECT_EQ(s.items[1].goal, 7); // the third object: the null
        EXPECT_EQ(s.items[1].parent, 0);
        EXPECT_EQ(s.items[2].restDirection, (standin::Vec3{10, -20, 30}));
        EXPECT_EQ(s.items[2].color, 4);
        EXPECT_FALSE(s.items[2].active);
        EXPECT_EQ(s.items[2].parent, 1);
        EXPECT_EQ(s.items[3].parent, 0);
        EXPECT_EQ(s.items[4].parent, 5); // "40010001": bone 1 of object 1, further on
        EXPECT_EQ(s.items[5].parent, 3); // no parent line: its object
        EXPECT_EQ(s.items[6].parent, 5); // the second bone of its own object
        EXPECT_EQ(s.items[6].object, 3);
        EXPECT_EQ(s.items[7].parent, 2);
        EXPECT_THAT(s.items[7].positions, ElementsAre(standin::Vec3{0, 7, 0}, standin::Vec3{0, 8, 0}));
        EXPECT_THAT(s.items[9].positions, ElementsAre(standin::Vec3{0, 0, -4}));
    }
}

} // namespace
