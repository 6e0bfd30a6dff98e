// The module's face and its activation's way in, through the real Spindle.p
// loaded by the stand-in.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "support/module.h"
#include "support/support.h"

using testing::ElementsAre;
using testing::HasSubstr;
using testsupport::FreshModule;

namespace {

TEST(ModuleFile, descriptorAndServerListAsTheHostReadsThem) {
    FreshModule loaded;
    ASSERT_EQ(loaded.reason, "");
    const ModuleDescriptor *descriptor = loaded.module.descriptor;
    EXPECT_EQ(descriptor->sysSync, 0x04121994u);
    EXPECT_EQ(descriptor->sysVersion, 3u);
    EXPECT_EQ(descriptor->sysMachine, 0x300u);
    EXPECT_EQ(reinterpret_cast<intptr_t>(descriptor->startup()), 4);
    EXPECT_EQ(reinterpret_cast<intptr_t>(loaded.module.serverData), 4);
    const ServerRecord *servers = descriptor->serverDefs;
    EXPECT_STREQ(servers[0].className, "CommandSequence");
    EXPECT_STREQ(servers[0].name, "Vant_Spindle");
    EXPECT_NE(servers[0].activate, nullptr);
    EXPECT_EQ(servers[1].className, nullptr);
    EXPECT_EQ(servers[1].name, nullptr);
    EXPECT_EQ(servers[1].activate, nullptr);
    EXPECT_EQ(loaded.module.server, &servers[0]);
}

TEST(Activation, unsupportedVersionsAnswerOneWithoutAskingForServices) {
    FreshModule loaded;
    for (int32_t version : {-1, 2, 1000}) {
        const standin::RunResult host = standin::runCommand(loaded.module, {}, version);
        EXPECT_EQ(host.result, 1) << version;
        EXPECT_TRUE(testsupport::linesStartingWith(host.transcript, "global").empty()) << version;
        EXPECT_TRUE(host.messages.empty());
    }
}

TEST(Activation, versionsZeroAndOneGoOnToTheServicesAndThePanel) {
    FreshModule loaded;
    for (int32_t version : {0, 1}) {
        standin::HostConfig config;
        config.cancel = true;
        const standin::RunResult host = standin::runCommand(loaded.module, config, version);
        EXPECT_EQ(host.result, 0);
        EXPECT_THAT(testsupport::linesStartingWith(host.transcript, "global"),
                    ElementsAre("global \"Info Messages\" 0 -> service", "global \"Host Display Info\" 0 -> service",
                                "global \"LWPanelServices\" 0 -> service"));
        EXPECT_EQ(host.panels.size(), 1u);
    }
}

TEST(Activation, eachMissingServiceIsBadGlobal) {
    FreshModule loaded;
    for (int missing = 1; missing <= 2; ++missing) {
        standin::HostConfig config = testsupport::quietConfig();
        config.offerDisplay = missing != 1;
        config.offerPanels = missing != 2;
        const standin::RunResult host = standin::runCommand(loaded.module, config);
        EXPECT_EQ(host.result, 2);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_TRUE(host.messages[0].isError);
        EXPECT_EQ(host.messages[0].text, "Bad global!");
        EXPECT_TRUE(host.panels.empty());
    }
}

TEST(Activation, missingMessageServiceTellsStandardError) {
    FreshModule loaded;
    standin::HostConfig config;
    config.offerMessages = false;
    testing::internal::CaptureStderr();
    const standin::RunResult host = standin::runCommand(loaded.module, config);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Bad global!\n");
    EXPECT_EQ(host.result, 2);
    EXPECT_TRUE(host.panels.empty());
}

TEST(Activation, refusedMeshEditIsCannotMeshEditAndTwo) {
    FreshModule loaded;
    standin::HostConfig config = testsupport::quietConfig();
    config.refuseMeshEdit = true;
    const standin::RunResult host = standin::runCommand(loaded.module, config);
    EXPECT_EQ(host.result, 2);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Cannot mesh edit!");
    ASSERT_EQ(host.panels.size(), 1u);
    EXPECT_TRUE(host.panels[0].destroyed);
}

TEST(Activation, meshWithoutCurvesIsThareAreNoCurve) {
    FreshModule loaded;
    standin::Mesh mesh = testsupport::curveMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {});
    const uint32_t face[] = {0, 1, 2};
    mesh.addPolygon(standin::kFace, mesh.surfaceNamed("Default"), face, 3);
    standin::HostConfig config = testsupport::quietConfig(&mesh);
    const standin::RunResult host = standin::runCommand(loaded.module, config);
    EXPECT_EQ(host.result, 0);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Thare are no curve.");
    EXPECT_EQ(host.meshEditsBegun, 1);
    EXPECT_EQ(host.meshEditsDone, 1);
    EXPECT_THAT(testsupport::linesStartingWith(host.transcript, "meshEdit.done"), ElementsAre("meshEdit.done 0 0"));
    EXPECT_THAT(testsupport::linesStartingWith(host.transcript, "context.editBegin"),
                ElementsAre("context.editBegin 0 0 1 -> meshEdit"));
}

// ---- the loader's refusals ----------------------------------------------------

std::string refusal(const std::string &path) {
    standin::Module module;
    std::string reason;
    EXPECT_FALSE(standin::loadModule(path, module, reason)) << path;
    EXPECT_EQ(module.handle, nullptr);
    return reason;
}

TEST(Loader, refusesWhatIsNotAModule) {
    const testsupport::TempDir temp;
    const std::string &folder = temp.path;
    testsupport::writeFile(testsupport::join(folder, "text.p"), "not a module at all\n");
    EXPECT_THAT(refusal(testsupport::join(folder, "text.p")), HasSubstr("not a loadable module"));
    EXPECT_THAT(refusal(testsupport::join(folder, "missing.p")), HasSubstr("not a loadable module"));
    EXPECT_EQ(refusal(SPINDLE_BAD_MODULE_DIR "/bad_module_1.p"),
              "no module descriptor: the file does not export _mod_descrip");
    EXPECT_EQ(refusal(SPINDLE_BAD_MODULE_DIR "/bad_module_2.p"), "wrong sync word 0x12345678 in the module descriptor");
    EXPECT_EQ(refusal(SPINDLE_BAD_MODULE_DIR "/bad_module_3.p"),
              "no CommandSequence server \"Vant_Spindle\" in the module");
    EXPECT_EQ(refusal(SPINDLE_BAD_MODULE_DIR "/bad_module_4.p"),
              "unsupported descriptor version 2 (this host reads version 3)");
}

} // namespace
