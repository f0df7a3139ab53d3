// The Create SFX Zip command with scripted dialogs: its name rules, the ways it ends without a
// word, its failures, and (with the zip library and zipsfx.bin of this build) a real
// self-extracting file that extracts what was picked.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "installer/sfx_zip_command.h"
#include "os/errors.h"
#include "os/file.h"
#include "support/run_program.h"
#include "support/scripted_ui_host.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::ReadBytes;
using testing::ScriptedUiHost;
using testing::TempFolder;
using testing::WriteBytes;

TEST(SfxZipNames, DefaultNameAndTheNameRules) {
    EXPECT_EQ(DefaultZipName("/proj/setup.inf"), "setup");
    EXPECT_EQ(DefaultZipName("/proj/my.setup.inf"), "my");
    EXPECT_EQ(DefaultZipName("/j.doe/proj/setup"), "setup");
    EXPECT_EQ(DefaultZipName(""), "");

    struct Row {
        const char* typed;
        const char* script;
        const char* zip_name;
    } rows[] = {
        {"archive.zip", "/proj/setup.inf", "/proj/archive"},
        {"D:\\out\\my.files.zip", "/proj/setup.inf", "D:\\out\\my"},
        {"/out/my.files.zip", "/proj/setup.inf", "/out/my"},
        {"setup", "/j.doe/proj/setup.inf", "/j.doe/proj/setup"},
        {"/j.doe/out", "/proj/setup.inf", "/j.doe/out"},
        {"name", "", "name"},
    };
    for (const auto& row : rows) EXPECT_EQ(ZipNameFor(row.typed, row.script), row.zip_name) << row.typed;
    EXPECT_THROW(ZipNameFor(".zip", "/proj/setup.inf"), Error);
    EXPECT_THROW(ZipNameFor("/out/.zip", "/proj/setup.inf"), Error);
}

struct CommandFixture {
    TempFolder folder;
    ScriptedUiHost host;
    std::string script = folder / "setup.inf";
    // A program folder without the zip library and zipsfx.bin unless a test uses the real one.
    std::string program_folder = folder / "program/";

    CommandFixture() { std::filesystem::create_directories(program_folder); }
    std::optional<std::string> Run() { return RunCreateSfxZip(host, script, program_folder); }
};

TEST(CreateSfxZipCommand, TheDialogsAndEveryWayToEndWithoutAWord) {
    {
        SCOPED_TRACE("the file dialog cancelled");
        CommandFixture f;
        f.host.open_file_answers.push_back(std::nullopt);
        EXPECT_FALSE(f.Run());
        ASSERT_EQ(f.host.file_dialogs.size(), 1u);
        const FileDialogOptions& dialog = f.host.file_dialogs[0];
        EXPECT_EQ(dialog.title, "Create Self Extracting Zip");
        // Beside the script, never in the program folder, which is read-only once installed.
        EXPECT_EQ(dialog.initial_folder, FolderPart(f.script));
        EXPECT_TRUE(dialog.allow_multiple);
        EXPECT_TRUE(dialog.file_must_exist);
        EXPECT_TRUE(dialog.filter.empty());
        EXPECT_TRUE(dialog.file_name.empty());
        EXPECT_TRUE(f.host.inputs_asked.empty());
        EXPECT_TRUE(f.host.messages.empty());
    }
    {
        SCOPED_TRACE("no file chosen");
        CommandFixture f;
        f.host.open_file_answers.push_back(std::vector<std::string>{""});
        EXPECT_FALSE(f.Run());
        EXPECT_TRUE(f.host.inputs_asked.empty());
        EXPECT_TRUE(f.host.messages.empty());
    }
    for (const std::optional<std::string>& answer : {std::optional<std::string>{}, std::optional<std::string>{""}}) {
        SCOPED_TRACE(answer ? "an empty name" : "the name box cancelled");
        CommandFixture f;
        f.script = f.folder / "my.setup.inf";
        WriteBytes(f.folder / "a.txt", "a");
        f.host.open_file_answers.push_back(std::vector<std::string>{f.folder / "a.txt"});
        f.host.input_answers.push_back(answer);
        EXPECT_FALSE(f.Run());
        EXPECT_EQ(f.host.inputs_asked, (std::vector<std::string>{"Create SFX Zip File|Zip File Name|my"}));
        EXPECT_TRUE(f.host.messages.empty());
        EXPECT_EQ(f.host.busy_changes, 0);
        EXPECT_FALSE(FileExists(f.folder / "my.zip"));
    }
}

TEST(CreateSfxZipCommand, WithoutTheZipLibraryTheConversionFailsAndTheOldExecutableIsGone) {
    CommandFixture f;
    WriteBytes(f.folder / "a.txt", "a");
    WriteBytes(f.folder / "setup.exe", "an executable of an earlier run");
    f.host.open_file_answers.push_back(std::vector<std::string>{f.folder / "a.txt"});
    f.host.input_answers.push_back("setup");
    EXPECT_FALSE(f.Run());
    ASSERT_FALSE(f.host.messages.empty());
    // The component has reported the missing library and the missing zip in its own boxes;
    // the command adds the failure, in a plain box, after the cursor is back.
    EXPECT_GE(f.host.messages.size(), 2u);
    EXPECT_EQ(f.host.messages.back().kind, MessageKind::Plain);
    EXPECT_EQ(f.host.messages.back().text, "SFX conversion failed.");
    EXPECT_FALSE(f.host.busy);
    EXPECT_FALSE(FileExists(f.folder / "setup.exe"));
    EXPECT_FALSE(FileExists(f.folder / "setup.zip"));
}

TEST(CreateSfxZipCommand, TwoPickedFilesOfOneNameAreRefusedBeforeAnythingIsWritten) {
    CommandFixture f;
    std::filesystem::create_directories(f.folder / "one");
    std::filesystem::create_directories(f.folder / "two");
    WriteBytes(f.folder / "one/a.txt", "1");
    WriteBytes(f.folder / "two/a.txt", "2");
    WriteBytes(f.folder / "setup.exe", "kept");
    f.host.open_file_answers.push_back(std::vector<std::string>{f.folder / "one/a.txt", f.folder / "two/a.txt"});
    f.host.input_answers.push_back("setup");
    EXPECT_FALSE(f.Run());
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_NE(f.host.messages[0].text.find(f.folder / "two/a.txt"), std::string::npos) << f.host.messages[0].text;
    EXPECT_EQ(ReadBytes(f.folder / "setup.exe"), "kept");
}

// The real zip library and self-extractor lie in this program's folder, as they lie beside
// the editor.
bool ZipToolsBuilt() {
    return FileExists(ProgramFolder() + "ZIPDLL.DLL") && FileExists(ProgramFolder() + "zipsfx.bin");
}

// Keeps the zips that the conversion deletes to the trash out of the real trash.
struct TrashInFolder {
    explicit TrashInFolder(const std::string& folder) { ::setenv("XDG_DATA_HOME", folder.c_str(), 1); }
    ~TrashInFolder() { ::unsetenv("XDG_DATA_HOME"); }
};

TEST(CreateSfxZipCommand, MakesAnExecutableThatExtractsThePickedFiles) {
    if (!ZipToolsBuilt()) GTEST_SKIP() << "ZIPDLL.DLL and zipsfx.bin are not built beside the tests";
    CommandFixture f;
    const TrashInFolder trash(f.folder / "data");
    f.program_folder = ProgramFolder();
    std::filesystem::create_directories(f.folder / "j.doe");
    f.script = f.folder / "j.doe/setup.inf";
    WriteBytes(f.folder / "a.txt", "first file\n");
    std::string binary(70000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 7 % 251);
    WriteBytes(f.folder / "b.bin", binary);
    f.host.open_file_answers.push_back(std::vector<std::string>{f.folder / "a.txt", f.folder / "b.bin"});
    f.host.input_answers.push_back("setup");  // the default, accepted
    const auto created = f.Run();

    const std::string executable = f.folder / "j.doe/setup.exe";
    ASSERT_TRUE(created) << ::testing::PrintToString(f.host.Texts());
    EXPECT_EQ(*created, executable);
    EXPECT_EQ(f.host.Texts(), (std::vector<std::string>{executable + " successfully created."}));
    EXPECT_EQ(f.host.messages[0].kind, MessageKind::Information);
    EXPECT_FALSE(f.host.busy);
    EXPECT_FALSE(FileExists(f.folder / "j.doe/setup.zip"));

    const auto result = testing::RunProgram({executable, "--silent", "-d", f.folder / "out"});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(ReadBytes(f.folder / "out/a.txt"), "first file\n");
    EXPECT_EQ(ReadBytes(f.folder / "out/b.bin"), binary);
}

}  // namespace
}  // namespace kitforge
