// The file commands of the main window, driven without a window through the scripted host:
// the save-changes gate, New, Open, Save, Save As, closing, Build, Read Me and About.

#include "ui/file_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "model/script_file.h"
#include "payload/payload_reader.h"
#include "os/errors.h"
#include "os/file.h"
#include "platform/dialog_start_folder.h"
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
        environment.open_document = [this](const std::string& path) {
            opened.push_back(path);
            return true;
        };
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

TEST_F(FileCommandsTest, NewAfterTypingAsksAndNoGivesAnEmptyUnchangedProject) {
    project.Rows().Append({CommandKind::Quit, "", ""});
    Type(ProjectField::Title, "My Setup");
    Type(ProjectField::Output, "out.exe");
    host.answers = {Answer::No};
    files->New();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Save changes to Untitled?");
    EXPECT_EQ(host.messages[0].kind, MessageKind::Confirmation);
    EXPECT_EQ(host.messages[0].buttons, Buttons::YesNoCancel);
    EXPECT_EQ(project.Field(ProjectField::Title), "New Project");
    EXPECT_EQ(project.Field(ProjectField::Output), "");
    EXPECT_EQ(project.Rows().Count(), 0u);
    EXPECT_FALSE(project.Changed());
    // So closing asks nothing.
    EXPECT_TRUE(files->CloseRequested());
    EXPECT_EQ(Questions(), 1u);
}

TEST_F(FileCommandsTest, NewOnAnUnchangedNewProjectAsksNothingAndStaysUnchanged) {
    project.Rows().Append({CommandKind::Quit, "", ""});
    project.SetChanged(false);
    files->New();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(project.Changed());
    EXPECT_EQ(project.Rows().Count(), 0u);
}

TEST_F(FileCommandsTest, NewForgetsTheFileNameAndTheCaptionNamesNoFile) {
    host.save_file_answers = {folder / "a.inf"};
    files->SaveAs();
    ASSERT_EQ(project.Caption(), "Kitforge [" + folder / "a.inf" + "]");
    Type(ProjectField::Title, "Other");
    host.answers = {Answer::No};
    files->New();
    EXPECT_EQ(host.Texts(), std::vector<std::string>{"Save changes to a.inf?"});
    EXPECT_EQ(project.ScriptFileName(), "");
    EXPECT_EQ(project.Caption(), "Kitforge");
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
    EXPECT_EQ(dialog.initial_folder, HomeFolder());
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
    EXPECT_EQ(host.Texts(), (std::vector<std::string>{"Save changes to Untitled?", BuiltInstallerText(built)}));
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

// A file that is not a build script reads as an almost empty project, which the next save
// would write over it: Open asks first, and No leaves everything as it was.
TEST_F(FileCommandsTest, OpenAsksBeforeAFileThatIsNotABuildScript) {
    const std::string binary = folder / "tool.bin";
    WriteBytes(binary, std::string("\x7f"
                                   "ELF\x02\x01\x01\0\0\0\0",
                                   12) +
                           std::string(4096, '\xAA'));
    project.Rows().Append({CommandKind::Quit, "", ""});
    project.SetChanged(false);
    host.answers = {Answer::No};
    files->OpenPath(binary);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(host.messages[0].buttons, Buttons::YesNo);
    EXPECT_EQ(host.messages[0].default_button, Answer::No);
    EXPECT_EQ(host.messages[0].text, "\"" + binary +
                                         "\" is not a build script: it holds NUL bytes before any section, as binary "
                                         "files do.\r\n\r\nOpen it anyway? Saving it would replace the file with a "
                                         "build script.");
    EXPECT_EQ(project.ScriptFileName(), "");
    EXPECT_EQ(project.Rows().Count(), 1u);
    EXPECT_EQ(project.Caption(), "Kitforge");
    EXPECT_TRUE(files->Recent().Paths().empty());

    // Yes opens it as what the reader makes of it.
    const std::string letter = folder / "letter.txt";
    WriteBytes(letter, "title=Hello\n");
    host.answers = {Answer::Yes};
    files->OpenPath(letter);
    EXPECT_EQ(project.Field(ProjectField::Title), "Hello");
    EXPECT_EQ(project.ScriptFileName(), letter);
    EXPECT_EQ(host.messages.size(), 2u);  // no list: the one line was read
}

TEST_F(FileCommandsTest, OpenListsTheLinesItCouldNotReadInOneMessage) {
    const std::string path = folder / "hand made.inf";
    std::string text =
        "[info]\r\ntitle=T\r\ncompressed=yes\r\n[script]\r\n1=extract \"a.txt\" \"%program%\"\r\n"
        "2=lnk \"<DESKTOP>\\a\"\r\n3=link\r\n4=extract \"a\r\n; a comment\r\n5=quit \r\n";
    for (int i = 6; i < 30; ++i) text += std::to_string(i) + "=Run x" + std::string(100, 'y') + "\r\n";
    WriteBytes(path, text);
    host.open_file_answers = {std::vector<std::string>{path}};
    files->OpenScript();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].kind, MessageKind::Warning);
    const std::string& report = host.messages[0].text;
    EXPECT_EQ(report.substr(0, report.find("Line 11")),
              "Some of \"" + path +
                  "\" could not be read. The project does not hold it, and saving will not keep "
                  "it:\r\n\r\nLine 3: compressed=yes\r\nLine 6: 2=lnk \"<DESKTOP>\\a\"\r\nLine 7: 3=link\r\n"
                  "Line 8: 4=extract \"a\r\n");
    // Twenty lines are listed, each cut to a readable length, and the rest counted.
    EXPECT_NE(report.find("\r\nLine 26: 21=Run x" + std::string(64, 'y') + "...\r\n... and 8 more lines."),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("Line 27"), std::string::npos);
    // The project is what the reader made of the file, unchanged, as before.
    EXPECT_EQ(project.Rows().Count(), 29u);
    EXPECT_EQ(project.Rows().At(1), ScriptCommand{});
    EXPECT_FALSE(project.Changed());
}

TEST_F(FileCommandsTest, TheFileDialogsStartBesideTheScriptElseInTheHomeFolder) {
    host.open_file_answers = {std::nullopt};
    files->OpenScript();
    host.open_file_answers = {std::nullopt};
    files->CreateSFXZip();
    const std::string path = folder / "scripts/setup.inf";
    ::mkdir((folder / "scripts").c_str(), 0755);
    host.save_file_answers = {path, std::nullopt};
    files->SaveAs();
    files->SaveAs();
    host.answers = {Answer::No};
    host.open_file_answers = {std::nullopt, std::nullopt};
    files->OpenScript();
    files->CreateSFXZip();
    std::vector<std::string> folders;
    for (const auto& dialog : host.file_dialogs) folders.push_back(dialog.initial_folder);
    ASSERT_FALSE(HomeFolder().empty());
    EXPECT_EQ(folders, (std::vector<std::string>{HomeFolder(), HomeFolder(), HomeFolder(), folder / "scripts/",
                                                 folder / "scripts/", folder / "scripts/"}));
}

TEST_F(FileCommandsTest, RecentFilesKeepTheLastEightMostRecentFirstAndDropMissingOnes) {
    std::vector<std::string> stored = {"", "/gone/a.inf", "/gone/a.inf"};  // as a hand-edited store might hold
    int saves = 0;
    EditorEnvironment environment = files->Environment();
    environment.recent_files_store.load = [&stored] { return stored; };
    environment.recent_files_store.save = [&stored, &saves](const std::vector<std::string>& paths) {
        stored = paths;
        ++saves;
    };
    FileCommands commands(project, host, environment);
    EXPECT_EQ(commands.Recent().Paths(), std::vector<std::string>{"/gone/a.inf"});

    std::vector<std::string> expected;
    for (int i = 1; i <= 9; ++i) {
        const std::string path = folder / ("s" + std::to_string(i) + ".inf");
        WriteBytes(path, "[script]\n1=quit \n");
        host.open_file_answers = {std::vector<std::string>{path}};
        commands.OpenScript();
        expected.insert(expected.begin(), path);
    }
    expected.resize(RecentFiles::kLimit);
    EXPECT_EQ(stored, expected);
    // Saving puts the saved file first without repeating it.
    Type(ProjectField::Title, "x");
    host.save_file_answers = {expected[3]};
    commands.SaveAs();
    EXPECT_EQ(stored.front(), expected[3]);
    EXPECT_EQ(stored.size(), RecentFiles::kLimit);
    EXPECT_EQ(std::count(stored.begin(), stored.end(), expected[3]), 1);

    // Another editor's entries, stored meanwhile, are kept.
    stored.insert(stored.begin(), folder / "other.inf");
    ::unlink(expected[0].c_str());
    commands.OpenRecent(expected[0]);
    EXPECT_EQ(host.Texts().back(), "\"" + expected[0] + "\" no longer exists. It has been taken off the recent files.");
    EXPECT_EQ(std::count(stored.begin(), stored.end(), expected[0]), 0);
    EXPECT_EQ(stored.front(), folder / "other.inf");
    EXPECT_EQ(project.Field(ProjectField::Title), "x");  // nothing else happened
    EXPECT_GT(saves, 9);
}

TEST_F(FileCommandsTest, ReadMeSaysWhenTheDesktopHasNoViewer) {
    EXPECT_TRUE(files->ReadMe());
    EditorEnvironment environment = files->Environment();
    environment.open_document = [](const std::string&) { return false; };
    EXPECT_FALSE(FileCommands(project, host, environment).ReadMe());
    environment.open_document = nullptr;
    EXPECT_FALSE(FileCommands(project, host, environment).ReadMe());
}

}  // namespace
}  // namespace kitforge
