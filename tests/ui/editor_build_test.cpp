// Building from the editor: sources picked beside the script are written from %apppath%, the
// target picker starts at a real folder, the check before a build and its answers, one box per
// failure, and the window after a build with its test install.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>

#include "installer/build_command.h"
#include "os/file.h"
#include "qt_test_support.h"
#include "support/run_program.h"
#include "support/scripted_ui_host.h"
#include "support/temp_folder.h"
#include "ui/app_path_source.h"
#include "ui/build_check_form.h"
#include "ui/build_result_form.h"
#include "ui/copy_form.h"
#include "ui/dialog_browsing.h"
#include "ui/extract_form.h"
#include "ui/file_commands.h"
#include "ui/kitforge_form.h"
#include "ui/test_install.h"

namespace kitforge {
namespace {

using testing::DialogAnswer;
using testing::ReadBytes;
using testing::ScriptedUiHost;
using testing::TempFolder;
using testing::WriteBytes;

// HOME set for the life of the object.
class HomeFolder {
public:
    explicit HomeFolder(const std::string& home) {
        if (const char* old = std::getenv("HOME")) old_ = old;
        ::setenv("HOME", home.c_str(), 1);
    }
    ~HomeFolder() { ::setenv("HOME", old_.c_str(), 1); }

private:
    std::string old_;
};

void WriteProgram(const std::string& path, std::string_view text) {
    WriteBytes(path, text);
    ::chmod(path.c_str(), 0755);
}

TEST(TargetPicker, StartsAtTheFolderTheFieldNamesElseTheHomeFolder) {
    TempFolder folder;
    const HomeFolder home(folder / "home");
    const std::string here = WithoutTrailingSeparator(folder.Path());
    const struct {
        std::string field;
        std::string start;
    } rows[] = {
        {"", folder / "home"},
        {"%program%", folder / "home"},
        {"%program%\\App", folder / "home"},
        {"docs", folder / "home"},
        {"C:\\Out", folder / "home"},
        {folder.Path(), here},
        {here, here},
        {folder / "not/made/yet", here},
    };
    struct PickerHost : ScriptedUiHost {
        std::optional<std::string> PickFolder(std::string_view caption, std::string_view initial) override {
            picked = std::string(caption) + "|" + std::string(initial);
            return std::nullopt;
        }
        std::string picked;
    };
    for (const auto& row : rows) {
        PickerHost host;
        TCopyForm copy(host, "/prog/");
        copy.SetTargetFolder(QString::fromStdString(row.field));
        copy.Button2Click();  // cancelled: the field keeps its text
        EXPECT_EQ(host.picked, "Target Folder|" + row.start) << row.field;
        EXPECT_EQ(copy.TargetFolder().toStdString(), row.field);
    }
}

TEST(AppPathSource, WritesFilesInTheScriptsFolderFromAppPathAndKeepsOthers) {
    TempFolder folder;
    ::mkdir((folder / "proj").c_str(), 0755);
    ::mkdir((folder / "proj/payload").c_str(), 0755);
    ASSERT_EQ(::symlink((folder / "proj").c_str(), (folder / "link").c_str()), 0);
    const std::string script = folder / "proj/setup.inf";
    const struct {
        const char* name;
        std::string path;
        std::string script;
        std::string written;
    } rows[] = {
        {"beside the script", folder / "proj/app.sh", script, "%apppath%app.sh"},
        {"below the script", folder / "proj/payload/app.sh", script, "%apppath%payload/app.sh"},
        {"outside", folder / "other/app.sh", script, folder / "other/app.sh"},
        {"a folder whose name starts alike", folder / "project/app.sh", script, folder / "project/app.sh"},
        {"out through ..", folder / "proj/../other/app.sh", script, folder / "proj/../other/app.sh"},
        {"through a link to the folder", folder / "link/payload/app.sh", script, "%apppath%payload/app.sh"},
        {"script through the link", folder / "proj/payload/app.sh", folder / "link/setup.inf",
         "%apppath%payload/app.sh"},
        {"no script file yet", folder / "proj/app.sh", "", folder / "proj/app.sh"},
        {"a macro path", "%program%\\app.sh", script, "%program%\\app.sh"},
    };
    for (const auto& row : rows) EXPECT_EQ(AppPathSource(row.path, row.script), row.written) << row.name;
}

class EditorBuildWindowTest : public ::testing::Test {
protected:
    EditorBuildWindowTest() {
        ::mkdir(program_folder.c_str(), 0755);
        ::mkdir((folder / "payload").c_str(), 0755);
        EditorEnvironment environment = EditorEnvironment::ForThisProgram();
        environment.program_folder = program_folder;
        form = std::make_unique<TKitforgeForm>(host, environment);
    }
    QTreeWidgetItem* Row(int row) {
        return form->findChild<QTreeWidget*>(QStringLiteral("ListView1"))->topLevelItem(row);
    }

    TempFolder folder;
    std::string program_folder = folder / "program/";
    ScriptedUiHost host;
    std::unique_ptr<TKitforgeForm> form;
};

TEST_F(EditorBuildWindowTest, PutSourcesPickedBesideTheSavedScriptAreWrittenFromAppPath) {
    form->Project().SetScriptFileName(folder / "proj.inf");
    host.open_file_answers = {std::vector<std::string>{folder / "payload/app.sh", "/etc/hosts"},
                              std::vector<std::string>{folder / "payload/b.txt"}};
    std::string first_folder;
    std::string second_folder;
    DialogAnswer<TExtractForm> put([&](TExtractForm& dialog) {
        dialog.Button1Click();
        first_folder = host.file_dialogs.back().initial_folder;
        EXPECT_EQ(dialog.SourceFiles().toStdString(), "\"%apppath%payload/app.sh\" \"/etc/hosts\"");
        // The next browse opens where the first source is, %apppath% expanded.
        dialog.Button1Click();
        second_folder = host.file_dialogs.back().initial_folder;
        dialog.SetSourceFiles(QStringLiteral("\"%apppath%payload/app.sh\" \"/etc/hosts\""));
        dialog.SetTargetFolder(QStringLiteral("%program%"));
        dialog.accept();
    });
    form->PutButtonClick();
    ASSERT_TRUE(put.Answered());
    EXPECT_EQ(first_folder, folder.Path());  // an empty field opens in the script's folder
    EXPECT_EQ(second_folder, folder / "payload/");
    EXPECT_EQ(Row(0)->text(1), "%apppath%payload/app.sh");
    EXPECT_EQ(Row(1)->text(1), "/etc/hosts");
}

TEST_F(EditorBuildWindowTest, TheCheckWindowListsTheProblemsAndEnterCancelsTheBuild) {
    WriteBytes(program_folder + "setup.ex_", "STUB");
    form->Project().Rows().Append({CommandKind::Put, "%apppath%gone.txt", "/home/me/out"});
    form->Project().Rows().Append({CommandKind::Shortcut, "<FAVORITES>\\App", "\"%program%\\app\" \"\""});
    form->Project().SetChanged(true);
    host.answers = {Answer::Yes};
    host.save_file_answers = {folder / "demo.inf"};
    QString listed;
    DialogAnswer<TBuildCheckForm> check([&listed](TBuildCheckForm& dialog) {
        listed = dialog.findChild<QPlainTextEdit*>(QStringLiteral("ProblemList"))->toPlainText();
        EXPECT_TRUE(dialog.findChild<QPushButton*>(QStringLiteral("CancelButton"))->isDefault());
        QTest::keyClick(&dialog, Qt::Key_Return);
    });
    form->Build1Click();
    ASSERT_TRUE(check.Answered());
    EXPECT_TRUE(listed.contains(QString::fromStdString(folder / "gone.txt"))) << listed.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("/home/me/out"))) << listed.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("<FAVORITES>"))) << listed.toStdString();
    EXPECT_FALSE(FileExists(folder / "demo.exe"));
    EXPECT_EQ(host.Texts(), std::vector<std::string>{"Save changes to Untitled?"});
}

// The steps of Build after its save question, with the two windows recorded and answered.
class EditorBuildTest : public ::testing::Test {
protected:
    EditorBuildTest() {
        ::mkdir(program_folder.c_str(), 0755);
        WriteBytes(program_folder + "setup.ex_", "STUB");
        WriteBytes(folder / "a.txt", "hello");
        EditorEnvironment environment;
        environment.program_folder = program_folder;
        environment.build_dialogs.confirm_build = [this](const std::vector<std::string>& problems) {
            checked = problems;
            return build_anyway;
        };
        environment.build_dialogs.show_built = [this](const BuiltInstaller& made) { built = made; };
        files = std::make_unique<FileCommands>(project, host, environment);
        files->StartUp();
    }

    TempFolder folder;
    std::string program_folder = folder / "program/";
    ScriptedUiHost host;
    EditorProject project;
    std::unique_ptr<FileCommands> files;
    bool build_anyway = false;
    std::optional<std::vector<std::string>> checked;
    std::optional<BuiltInstaller> built;
};

TEST_F(EditorBuildTest, EachOutcomeIsToldOnceInItsOwnWindow) {
    const struct {
        const char* name;
        const char* source;
        bool saved;
        bool build_anyway;
        bool check_shown;
        bool installer_made;
        std::vector<std::string> messages;
    } rows[] = {
        {"never saved, No",
         "%apppath%a.txt",
         false,
         false,
         false,
         false,
         {"Save changes to Untitled?", std::string(kSaveScriptFirst)}},
        {"nothing to check", "%apppath%a.txt", true, false, false, true, {}},
        {"missing source, Cancel", "%apppath%gone.txt", true, false, true, false, {}},
        {"missing source, Build anyway",
         "%apppath%gone.txt",
         true,
         true,
         true,
         false,
         {"There was an error building the install file.\n\nFile not found: " + folder / "gone.txt"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        host.messages.clear();
        checked.reset();
        built.reset();
        build_anyway = row.build_anyway;
        project.SetChanged(false);
        files->New();
        project.Rows().Clear();
        project.Rows().Append({CommandKind::Put, row.source, "%program%"});
        project.SetScriptFileName({});
        project.SetChanged(true);
        if (row.saved) {
            project.SetScriptFileName(folder / "demo.inf");
            files->Save();
        } else {
            host.answers = {Answer::No};
        }
        DeleteFile(folder / "demo.exe");
        files->Build();
        EXPECT_EQ(host.Texts(), row.messages);
        EXPECT_EQ(checked.has_value(), row.check_shown);
        EXPECT_EQ(built.has_value(), row.installer_made);
        EXPECT_EQ(FileExists(folder / "demo.exe"), row.installer_made);
        if (built) {
            EXPECT_EQ(built->path, folder / "demo.exe");
            EXPECT_EQ(built->size, static_cast<std::uint64_t>(FileSize(folder / "demo.exe")));
        }
    }
}

TEST_F(EditorBuildTest, WithoutItsWindowsTheCheckIsAskedThroughTheHostWithNoAsDefault) {
    EditorEnvironment environment;
    environment.program_folder = program_folder;
    FileCommands plain(project, host, environment);
    project.Rows().Append({CommandKind::Put, "%apppath%gone.txt", "%program%"});
    project.SetScriptFileName(folder / "demo.inf");
    project.SetChanged(true);
    plain.Save();
    host.answers = {Answer::No};
    plain.Build();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.rfind(std::string(kBuildCheckIntro), 0), 0u) << host.messages[0].text;
    EXPECT_EQ(host.messages[0].default_button, Answer::No);
    EXPECT_FALSE(FileExists(folder / "demo.exe"));
}

TEST(TestInstall, RunsTheInstallerSilentlyIntoATemporaryFolderAndListsWhatItWrote) {
    TempFolder folder;
    const std::string log = folder / "log";
    const struct {
        const char* name;
        std::string script;
        std::chrono::milliseconds limit;
        std::vector<std::string> report_parts;
        std::vector<std::string> files;
    } rows[] = {
        {"installs into the target and the stand-in home",
         "echo \"$@\" >&2; echo \"$4\" >> " + log +
             "; mkdir -p \"$4/bin\" \"$HOME/.local/bin\" && printf abc > \"$4/bin/app\" && printf 12345 > "
             "\"$HOME/.local/bin/tool\"",
         std::chrono::seconds(20),
         {"Exit status 0: installed.", "It installed 2 files:", "%program%/bin/app  (3 bytes)",
          "~/.local/bin/tool  (5 bytes)", "--silent --user --target %program%", "has been removed again"},
         {"%program%/bin/app", "~/.local/bin/tool"}},
        {"fails",
         "echo \"$4\" >> " + log + "; echo 'line 2: it broke' >&2; exit 1",
         std::chrono::seconds(20),
         {"Exit status 1: failed.", "It installed no files.", "line 2: it broke"},
         {}},
        {"never ends",
         "echo \"$4\" >> " + log + "; exec sleep 30",
         std::chrono::milliseconds(300),
         {"did not end within the time limit"},
         {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedUiHost host;
        WriteProgram(folder / "installer", "#!/bin/sh\n" + row.script + "\n");
        const TestInstallResult result = RunTestInstall(host, folder / "installer", row.limit);
        const std::string report = TestInstallReport(result);
        for (const auto& part : row.report_parts)
            EXPECT_NE(report.find(part), std::string::npos) << part << "\n" << report;
        std::vector<std::string> files;
        for (const auto& file : result.files) files.push_back(file.path);
        EXPECT_EQ(files, row.files);
        EXPECT_FALSE(host.busy);
        // The folder the installer was given is gone with everything in it.
        std::string target = ReadBytes(log);
        target = target.substr(target.rfind('\n', target.size() - 2) + 1);
        target.pop_back();
        EXPECT_FALSE(FolderExists(FolderPart(target))) << target;
    }
    ScriptedUiHost host;
    const auto missing = RunTestInstall(host, folder / "no-installer", std::chrono::seconds(5));
    EXPECT_FALSE(missing.started);
    EXPECT_NE(TestInstallReport(missing).find("could not be started"), std::string::npos);
}

// The whole way with the real installer stub: build, then Test install from the window after
// the build, whose report shows the installed file and the launcher in the stand-in home.
TEST(TestInstall, TheResultWindowTestsARealInstaller) {
    TempFolder folder;
    WriteBytes(folder / "a.txt", "twelve bytes");
    WriteBytes(folder / "demo.inf",
               "[info]\r\ntitle=Demo\r\nprompt=P\r\n[script]\r\n1=extract \"%apppath%a.txt\" \"%program%\"\r\n"
               "2=link \"<DESKTOP>\\Demo\" \"%program%\\a.txt\" \"\"\r\n");
    ScriptedUiHost host;
    BuildCommandOptions options;
    options.stub_path = testing::BuiltProgram("setup.ex_");
    options.announce_success = false;
    ASSERT_TRUE(RunBuildCommand(host, "demo.exe", folder / "demo.inf", folder.Path(), options)) << host.Texts().at(0);

    TBuildResultForm window(host, {folder / "demo.exe", static_cast<std::uint64_t>(FileSize(folder / "demo.exe"))});
    EXPECT_TRUE(window.findChild<QLabel*>(QStringLiteral("InstallerLabel"))
                    ->text()
                    .contains(QString::fromStdString(folder / "demo.exe")));
    window.TestInstallClick();
    const QString report = window.findChild<QPlainTextEdit*>(QStringLiteral("TestInstallReport"))->toPlainText();
    for (const char* part : {"Exit status 0: installed.", "%program%/a.txt  (12 bytes)", "%program%/uninstall",
                             "~/Desktop/Demo.desktop"}) {
        EXPECT_TRUE(report.contains(QString::fromLatin1(part))) << part << "\n" << report.toStdString();
    }
    EXPECT_TRUE(window.findChild<QPushButton*>(QStringLiteral("TestInstallButton"))->isEnabled());
}

}  // namespace
}  // namespace kitforge
