// kitforge-cli show, run as a user runs it.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "model/script_file.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::BuiltProgram;
using testing::RunProgram;
using testing::TempFolder;
using testing::WriteBytes;

const char* const kHandEdited =
    "; written by hand\n"
    "[INFO]\n"
    "Title=Demo\n"
    "compressed=1\n"
    "[script]\n"
    "5=extract \"C:\\a.txt\" \"%program%\"\n"
    "9=Execute not-a-command\n"
    "2=quit \n";

TEST(CliShow, PrintsFieldsAndRowsAsTheEditorLists) {
    TempFolder folder;
    WriteBytes(folder / "a.inf", kHandEdited);
    const auto result = RunProgram({BuiltProgram("kitforge-cli"), "show", folder / "a.inf"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Title:       Demo\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Compressed:  yes\n"), std::string::npos);
    EXPECT_NE(result.out.find("Put     C:\\a.txt     %program%\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("\nQuit\n"), std::string::npos) << result.out;
}

TEST(CliShow, JsonHoldsTheSameRows) {
    TempFolder folder;
    WriteBytes(folder / "a.inf", kHandEdited);
    const auto result = RunProgram({BuiltProgram("kitforge-cli"), "show", "--json", folder / "a.inf"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["title"], "Demo");
    EXPECT_EQ(json["compressed"], true);
    ASSERT_EQ(json["commands"].size(), 3u);
    EXPECT_EQ(json["commands"][0]["action"], "Put");
    EXPECT_EQ(json["commands"][0]["parameter2"], "%program%");
    EXPECT_EQ(json["commands"][1]["action"], "");
    EXPECT_EQ(json["commands"][2]["action"], "Quit");
}

TEST(CliShow, InfPrintsExactlyWhatTheEditorWouldSave) {
    TempFolder folder;
    WriteBytes(folder / "a.inf", kHandEdited);
    const auto result = RunProgram({BuiltProgram("kitforge-cli"), "show", "--inf", folder / "a.inf"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, FormatScriptFile(ParseScriptFile(kHandEdited)));
    EXPECT_NE(result.out.find("\r\n3=quit \r\n"), std::string::npos);
}

TEST(CliShow, ExitStatusSaysWhatWentWrong) {
    TempFolder folder;
    const auto missing = RunProgram({BuiltProgram("kitforge-cli"), "show", folder / "none.inf"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("none.inf"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("No such file"), std::string::npos) << missing.err;
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1) << missing.err;

    EXPECT_EQ(RunProgram({BuiltProgram("kitforge-cli"), "show"}).status, 2);
    EXPECT_EQ(RunProgram({BuiltProgram("kitforge-cli"), "frobnicate"}).status, 2);
    EXPECT_EQ(RunProgram({BuiltProgram("kitforge-cli"), "show", "--json", "--inf", "x.inf"}).status, 2);
}

TEST(CliShow, HelpAndVersionSucceed) {
    const auto help = RunProgram({BuiltProgram("kitforge-cli"), "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("show"), std::string::npos);
    const auto version = RunProgram({BuiltProgram("kitforge-cli"), "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find("kitforge-cli "), std::string::npos);
}

// A script made on Windows is in code page 1252, and a script from someone else may carry
// terminal escape sequences: the table shows characters, never raw control bytes.
TEST(CliShow, ShowsCodePage1252AsTextAndControlCharactersAsQuestionMarks) {
    TempFolder folder;
    WriteBytes(folder / "a.inf",
               "[info]\r\ntitle=Caf\xE9\x1b]0;owned\x07\r\nprompt=\x80 5\r\n[script]\r\n"
               "1=execute run.sh\x1b[1A\x1b[2K\r\n");
    const auto table = RunProgram({BuiltProgram("kitforge-cli"), "show", folder / "a.inf"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_NE(table.out.find("Title:       Caf\xC3\xA9?]0;owned?\nPrompt:      \xE2\x82\xAC 5\n"), std::string::npos)
        << table.out;
    EXPECT_NE(table.out.find("Execute  run.sh?[1A?[2K\n"), std::string::npos) << table.out;
    EXPECT_EQ(table.out.find('\x1b'), std::string::npos) << table.out;

    const auto json = RunProgram({BuiltProgram("kitforge-cli"), "show", "--json", folder / "a.inf"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(nlohmann::json::parse(json.out)["title"], "Caf\xC3\xA9\x1b]0;owned\x07");
}

}  // namespace
}  // namespace kitforge
