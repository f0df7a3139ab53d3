// The file commands of the main window, driven without a window through the scripted host:
// the save-changes gate, New, Open, Save, Save As, closing, Build, Read Me and About.

#include "ui/file_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "model/script_file.h"
#include "payload/payload_reader.h"
#include "os/errors.h"
#include "os/file.h"
#include "support/scripted_ui_host.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

class FileCommandsTest : public ::testing::Test {
protected:
    FileCommandsTest() {
        ::mkdir(program_folder.c_str(), 0755);
        EditorEnvironment environment;
        environment.program_folder = program_folder;
        environment.program_path = EditorEnvironment::ForThisProgram().program_path;
        environment.open_document = [this](const std::string& path) { opened.push_back(path); };
        files = std::make_unique<FileCommands>(project, host, environment);
        files->StartUp();
    }

    void Type(ProjectField field, const std::string& text) { project.SetField(field, text); }

    // Every question asked so far.
    std::size_t Questions() const {
        std::size_t n = 0;
        for (const auto& m : host.messages) n += m.buttons != Buttons::Ok;
        return n;
    }

    testing::TempFolder folder;
    std::string program_folder = folder / "program/";
    testing::ScriptedUiHost host;
    EditorProject project;
    std::vector<std::string> opened;
    std::unique_ptr<FileCommands> files;
};

TEST_F(FileCommandsTest, StartsWithANewUnchangedProjectAndClosesWithoutAQuestion) {
    EXPECT_EQ(project.Field(ProjectField::Title), "New Project");
    EXPECT_EQ(project.Field(ProjectField::Prompt), kNewProjectPrompt);
    EXPECT_EQ(project.Field(ProjectField::Output), "");
    EXPECT_FALSE(project.Compressed());
    EXPECT_FALSE(project.Changed());
    EXPECT_EQ(project.Caption(), "Kitforge");
    EXPECT_TRUE(files->CloseRequested());
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(FileCommandsTest, NewAfterTypingAsksAndNoResetsTheFieldsButKeepsTheRowsAndTheChange) {
    project.Rows().Append({CommandKind::Quit, "", ""});
    Type(ProjectField::Title, "My Setup");
    Type(ProjectField::Output, "out.exe");
    host.answers = {Answer::No};
    files->New();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Save changes?");
    EXPECT_EQ(host.messages[0].kind, MessageKind::Confirmation);
    EXPECT_EQ(host.messages[0].buttons, Buttons::YesNoCancel);
    EXPECT_EQ(project.Field(ProjectField::Title), "New Project");
    EXPECT_EQ(project.Field(ProjectField::Output), "");
    EXPECT_EQ(project.Rows().Count(), 1u);
    EXPECT_TRUE(project.Changed());
    // So closing asks again; Cancel keeps the window.
    host.answers = {Answer::Cancel};
    EXPECT_FALSE(files->CloseRequested());
    EXPECT_EQ(Questions(), 2u);
}

TEST_F(FileCommandsTest, NewOnAnUnchangedNewProjectAsksNothingAndStaysUnchanged) {
    project.Rows().Append({CommandKind::Quit, "", ""});
    project.SetChanged(false);
    files->New();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(project.Changed());
    EXPECT_EQ(project.Rows().Count(), 1u);
}

TEST_F(FileCommandsTest, NewKeepsTheCaptionAndForgetsTheFileName) {
    host.save_file_answers = {folder / "a.inf"};
    files->SaveAs();
    ASSERT_EQ(project.Caption(), "Kitforge [" + folder / "a.inf" + "]");
    Type(ProjectField::Title, "Other");
    host.answers = {Answer::No};
    files->New();
    EXPECT_EQ(project.ScriptFileName(), "");
    EXPECT_EQ(project.Caption(), "Kitforge [" + folder / "a.inf" + "]");
}

TEST_F(FileCommandsTest, SaveOfAnUnchangedNeverSavedProjectDoesNothingWhileSaveAsWrites) {
    files->Save();
    EXPECT_TRUE(host.file_dialogs.empty());
    const std::string path = folder / "setup.inf";
    host.save_file_answers = {path};
    files->SaveAs();
    ASSERT_EQ(host.file_dialogs.size(), 1u);
    const auto& dialog = host.file_dialogs[0];
    EXPECT_EQ(dialog.title, "Save Script");
    EXPECT_EQ(dialog.filter, "Build Scripts|*.inf");
    EXPECT_EQ(dialog.default_extension, "inf");
    EXPECT_EQ(dialog.initial_folder, program_folder);
    EXPECT_EQ(ReadBytes(path), FormatScriptFile(NewBuildScript()));
    EXPECT_FALSE(project.Changed());
    EXPECT_EQ(project.ScriptFileName(), path);
    EXPECT_EQ(project.Caption(), "Kitforge [" + path + "]");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(FileCommandsTest, ACancelledSaveAsBringsTheNameBackAndLeavesTheProjectChanged) {
    const std::string path = folder / "setup.inf";
    host.save_file_answers = {path};
    files->SaveAs();
    host.save_file_answers = {std::nullopt};
    files->SaveAs();
    EXPECT_EQ(project.ScriptFileName(), path);
    EXPECT_TRUE(project.Changed());
    EXPECT_EQ(project.Caption(), "Kitforge [" + path + "]");
    // Save then writes to the remembered file without a dialog.
    files->Save();
    EXPECT_EQ(host.file_dialogs.size(), 2u);
    EXPECT_FALSE(project.Changed());
}

TEST_F(FileCommandsTest, SaveWritesAChangedProjectToItsFileAndReplacesWhatWasThere) {
    const std::string path = folder / "setup.inf";
    WriteBytes(path, "an older file that is much longer than the new one will be, by far..................");
    host.save_file_answers = {path};
    Type(ProjectField::Title, "T");
    project.Rows().Append({CommandKind::Put, "/src/a.txt", "%program%"});
    project.Rows().Append({});
    project.Rows().Append({CommandKind::Quit, "", ""});
    files->Save();
    EXPECT_EQ(ReadBytes(path), "[info]\r\ntitle=T\r\nprompt=" + std::string(kNewProjectPrompt) +
                                   "\r\nnotes=\r\ncompressed=0\r\noutput=\r\n\r\n[script]\r\n"
                                   "1=extract \"/src/a.txt\" \"%program%\"\r\n3=quit \r\n");
    EXPECT_TRUE(host.messages.empty());  // no question before replacing the file
}

TEST_F(FileCommandsTest, YesThenACancelledSaveDialogKeepsTheWindowOpen) {
    Type(ProjectField::Notes, "n");
    host.answers = {Answer::Yes};
    host.save_file_answers = {std::nullopt};
    EXPECT_FALSE(files->CloseRequested());
    EXPECT_TRUE(project.Changed());
    EXPECT_EQ(project.ScriptFileName(), "");
}

TEST_F(FileCommandsTest, AFailedWriteEndsTheCommandAndLeavesTheProjectChanged) {
    Type(ProjectField::Title, "T");
    const std::string path = folder / "no such folder/setup.inf";
    host.answers = {Answer::Yes};
    host.save_file_answers = {path};
    EXPECT_THROW(files->New(), InOutError);
    EXPECT_TRUE(project.Changed());
    EXPECT_EQ(project.Field(ProjectField::Title), "T");  // New did not go on
    EXPECT_EQ(project.Caption(), "Kitforge");
    EXPECT_EQ(project.ScriptFileName(), path);
}

TEST_F(FileCommandsTest, OpenReadsTheFileIntoAResetProject) {
    const std::string path = folder / "old.inf";
    WriteBytes(path, "[info]\ntitle=Old\nnotes=kept\ncompressed=1\n[script]\n1=run x\n2=EXECUTE y\n3=quit \n");
    project.Rows().Append({CommandKind::Copy, "a", "b"});
    Type(ProjectField::Output, "out.exe");
    host.answers = {Answer::No};
    host.open_file_answers = {std::vector<std::string>{path}};
    files->OpenScript();
    const auto& dialog = host.file_dialogs.at(0);
    EXPECT_EQ(dialog.title, "Load Build Script");
    EXPECT_EQ(dialog.filter, "Build Scripts|*.inf");
    EXPECT_EQ(dialog.file_name, "");
    EXPECT_TRUE(dialog.file_must_exist);
    EXPECT_FALSE(dialog.allow_multiple);
    EXPECT_EQ(project.Field(ProjectField::Title), "Old");
    EXPECT_EQ(project.Field(ProjectField::Prompt), "");  // a missing line is empty, not the default
    EXPECT_EQ(project.Field(ProjectField::Notes), "kept");
    EXPECT_EQ(project.Field(ProjectField::Output), "");
    EXPECT_TRUE(project.Compressed());
    EXPECT_EQ(project.Rows().Rows(),
              (std::vector<ScriptCommand>{{CommandKind::Run, "x", ""}, {}, {CommandKind::Quit, "", ""}}));
    EXPECT_FALSE(project.Changed());
    EXPECT_EQ(project.ScriptFileName(), path);
    EXPECT_EQ(project.Caption(), "Kitforge [" + path + "]");
}

TEST_F(FileCommandsTest, OpenCancelledChangesNothingButAYesBeforeItHasSaved) {
    Type(ProjectField::Title, "Mine");
    const std::string path = folder / "mine.inf";
    host.answers = {Answer::Yes};
    host.save_file_answers = {path};
    host.open_file_answers = {std::nullopt};
    files->OpenScript();
    EXPECT_EQ(ReadScriptFile(path).Title, "Mine");
    EXPECT_EQ(project.Field(ProjectField::Title), "Mine");
    EXPECT_FALSE(project.Changed());
    EXPECT_EQ(project.Caption(), "Kitforge [" + path + "]");
}

TEST_F(FileCommandsTest, OpenOfAnUnreadableFileFailsBeforeTheWindowIsEmptied) {
    project.Rows().Append({CommandKind::Quit, "", ""});
    host.open_file_answers = {std::vector<std::string>{folder / "gone.inf"}};
    EXPECT_THROW(files->OpenScript(), ReadError);
    EXPECT_EQ(project.Field(ProjectField::Title), "New Project");
    EXPECT_EQ(project.Rows().Count(), 1u);
    EXPECT_EQ(project.ScriptFileName(), "");
    EXPECT_FALSE(project.Changed());
    // So nothing can be saved over the file that could not be read.
    files->Save();
    EXPECT_FALSE(FileExists(folder / "gone.inf"));
}

TEST_F(FileCommandsTest, ChangedFollowsTheFieldsOnlyWhenTheirTextChanges) {
    Type(ProjectField::Title, "New Project");
    project.SetCompressed(false);
    EXPECT_FALSE(project.Changed());
    project.SetCompressed(true);
    EXPECT_TRUE(project.Changed());
}

class BuildTest : public FileCommandsTest {
protected:
    BuildTest() {
        WriteBytes(program_folder + "setup.ex_", "STUB");
        WriteBytes(folder / "a.txt", "hello");
        // Written from the script's folder, as the browse button writes it, so that the check
        // before the build has nothing to list.
        project.Rows().Append({CommandKind::Put, "%apppath%a.txt", "%program%"});
        project.Rows().Append({CommandKind::Execute, "%program%\\a.txt", ""});
    }
};

TEST_F(BuildTest, BuildSavesFirstThenWritesTheInstallerAndSaysSo) {
    Type(ProjectField::Title, "Demo");
    host.answers = {Answer::Yes};
    host.save_file_answers = {folder / "demo.setup.inf"};
    files->Build();
    const std::string output = folder / "demo.exe";
    const BuiltInstaller built{output, static_cast<std::uint64_t>(FileSize(output))};
    EXPECT_EQ(host.Texts(), (std::vector<std::string>{"Save changes?", BuiltInstallerText(built)}));
    ASSERT_TRUE(FileExists(output));
    EXPECT_EQ(ReadBytes(output).substr(0, 4), "STUB");
    const auto payload = payload::ReadPayload(output);
    EXPECT_EQ(payload.title, "Demo");
    EXPECT_EQ(payload.lines, (std::vector<std::string>{"EXTRACT a.txt %program%", "execute %program%\\a.txt"}));
    EXPECT_FALSE(host.busy);
}

TEST_F(BuildTest, NoBuildsTheFileAsLastSavedAndCancelBuildsNothing) {
    host.save_file_answers = {folder / "demo.inf"};
    Type(ProjectField::Title, "Saved title");
    Type(ProjectField::Output, "inst.exe");
    files->Save();
    Type(ProjectField::Title, "Unsaved title");
    host.answers = {Answer::Cancel};
    files->Build();
    EXPECT_FALSE(FileExists(folder / "inst.exe"));
    host.answers = {Answer::No};
    files->Build();
    ASSERT_TRUE(FileExists(folder / "inst.exe"));
    EXPECT_EQ(payload::ReadPayload(folder / "inst.exe").title, "Saved title");
    EXPECT_TRUE(project.Changed());
}

TEST_F(FileCommandsTest, ReadMeOpensTheReadMeBesideTheProgram) {
    files->ReadMe();
    EXPECT_EQ(opened, std::vector<std::string>{program_folder + "readme.txt"});
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(FileCommandsTest, AboutShowsTheVersionReadFromTheProgramsOwnFile) {
    files->About();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].kind, MessageKind::Information);
    EXPECT_EQ(host.messages[0].buttons, Buttons::Ok);
    EXPECT_EQ(host.messages[0].text,
              "Kitforge v2.1.0.33\r\nThe Kitforge authors\r\nCopyright (C) The Kitforge authors.\r\n"
              "All rights reserved.\r\n\r\nhttps://kitforge.example.org/");
    const TEPInfoExe& info = files->EPInfoExe1();
    EXPECT_EQ(info.ProductVersion(), "2.1");
    EXPECT_EQ(info.FileDescription(), "Kitforge");
    EXPECT_EQ(info.InternalName(), "Kitforge");
    EXPECT_EQ(info.ProductName(), "Kitforge");
    EXPECT_EQ(info.OriginalFilename(), "Kitforge.exe");
    EXPECT_EQ(info.LegalTradeMarks(), "");
}

TEST_F(FileCommandsTest, TheVersionReaderOfTheWindowStartsWithLanguage040CWhichReadsNothing) {
    EXPECT_EQ(files->EPInfoExe1().LangId(), "040C");
    TEPInfoExe info;
    info.SetExeName(EditorEnvironment::ForThisProgram().program_path);
    info.ReadVersionInfo();
    for (std::size_t i = 0; i < kVersionInfoKeys.size(); ++i) EXPECT_EQ(info.Field(i), "") << kVersionInfoKeys[i];
    info.SetLangId("0C09");
    info.ReadVersionInfo();
    EXPECT_EQ(info.FileVersion(), "2.1.0.33");
}

}  // namespace
}  // namespace kitforge
