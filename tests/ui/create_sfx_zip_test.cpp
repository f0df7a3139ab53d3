// File > Create SFX Zip in the main window, with scripted dialogs and the zip library and
// zipsfx.bin that lie beside the tests as they lie beside the editor.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAction>

#include "os/file.h"
#include "platform/paths.h"
#include "support/run_program.h"
#include "support/scripted_ui_host.h"
#include "support/temp_folder.h"
#include "ui/kitforge_form.h"

namespace kitforge {
namespace {

class CreateSfxZipTest : public ::testing::Test {
protected:
    CreateSfxZipTest() {
        // The converted zip goes to the trash: this test's trash.
        ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        form = std::make_unique<TKitforgeForm>(host, EditorEnvironment::ForThisProgram());
    }
    ~CreateSfxZipTest() override { ::unsetenv("XDG_DATA_HOME"); }

    void Trigger() {
        auto* action = form->findChild<QAction*>(QStringLiteral("CreateSFXZip1"));
        ASSERT_NE(action, nullptr);
        action->trigger();
    }

    testing::TempFolder folder;
    testing::ScriptedUiHost host;
    std::unique_ptr<TKitforgeForm> form;
};

TEST_F(CreateSfxZipTest, TheMenuCommandMakesAWorkingSelfExtractingFile) {
    if (!FileExists(ProgramFolder() + "ZIPDLL.DLL") || !FileExists(ProgramFolder() + "zipsfx.bin")) {
        GTEST_SKIP() << "ZIPDLL.DLL and zipsfx.bin are not built beside the tests";
    }
    testing::WriteBytes(folder / "one.txt", "one\n");
    testing::WriteBytes(folder / "two.txt", "two\n");
    form->Project().SetScriptFileName(folder / "demo.setup.inf");
    host.open_file_answers = {std::vector<std::string>{folder / "one.txt", folder / "two.txt"}};
    host.input_answers = {"archive.zip"};
    Trigger();

    ASSERT_EQ(host.file_dialogs.size(), 1u);
    EXPECT_EQ(host.file_dialogs[0].title, "Create Self Extracting Zip");
    EXPECT_EQ(host.file_dialogs[0].initial_folder, folder / "");
    EXPECT_EQ(host.inputs_asked, (std::vector<std::string>{"Create SFX Zip File|Zip File Name|demo"}));
    EXPECT_EQ(host.Texts(), (std::vector<std::string>{folder / "archive.exe" + " successfully created."}));
    EXPECT_FALSE(host.busy);
    EXPECT_FALSE(FileExists(folder / "archive.zip"));

    const auto result = testing::RunProgram({folder / "archive.exe", "--silent", "-d", folder / "out"});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(testing::ReadBytes(folder / "out/one.txt"), "one\n");
    EXPECT_EQ(testing::ReadBytes(folder / "out/two.txt"), "two\n");
}

TEST_F(CreateSfxZipTest, CancellingTheFileDialogEndsTheCommandWithoutAWord) {
    host.open_file_answers = {std::nullopt};
    Trigger();
    EXPECT_EQ(host.file_dialogs.size(), 1u);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.inputs_asked.empty());
}

}  // namespace
}  // namespace kitforge
