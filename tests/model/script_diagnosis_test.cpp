// Whether a file is a build script, and which lines the editor must report because the
// project will not hold them.

#include "model/script_diagnosis.h"

#include <gtest/gtest.h>

#include "model/script_file.h"

namespace kitforge {
namespace {

using namespace std::string_literals;

TEST(ScriptDiagnosis, TellsScriptsFromOtherFiles) {
    struct Row {
        const char* name;
        std::string text;
        ScriptVerdict verdict;
    };
    const Row rows[] = {
        {"a script as the editor writes it", FormatScriptFile(NewBuildScript()), ScriptVerdict::Script},
        {"only a script section, in capitals", "[SCRIPT]\n1=quit \n", ScriptVerdict::Script},
        {"an indented info section", "  [Info]  \ntitle=x\n", ScriptVerdict::Script},
        {"NUL padding after the sections", "[info]\r\ntitle=a\r\n\0\0\0"s, ScriptVerdict::Script},
        {"an executable",
         "\x7f"
         "ELF\x02\x01\x01\0\0\0[script]\n1=quit \n"s,
         ScriptVerdict::NulBeforeSection},
        {"UTF-16 text", "\xff\xfe[\0i\0n\0f\0o\0]\0"s, ScriptVerdict::NulBeforeSection},
        {"a zip", "PK\x03\x04\x14[script]\n", ScriptVerdict::NotText},
        {"a script with a stray control byte", "[info]\ntitle=a\x01\n", ScriptVerdict::NotText},
        {"plain text", "Dear reader,\nthis is a letter.\n", ScriptVerdict::NoSection},
        {"an INI file of another program", "[general]\nname=x\n", ScriptVerdict::NoSection},
        {"an empty file", "", ScriptVerdict::NoSection},
    };
    for (const Row& row : rows) EXPECT_EQ(DiagnoseScript(row.text).verdict, row.verdict) << row.name;
    EXPECT_EQ(VerdictReason(ScriptVerdict::NoSection), "has no [info] or [script] section");
    EXPECT_EQ(VerdictReason(ScriptVerdict::Script), "");
}

TEST(ScriptDiagnosis, ListsEveryLineTheProjectWillNotHold) {
    struct Row {
        const char* line;
        bool listed;
    };
    const Row rows[] = {
        // Lines that become empty rows, or rows that lose part of their text.
        {"1=lnk \"<DESKTOP>\\a\" \"p\" \"\"", true},
        {"1=link", true},
        {"1=quit", true},
        {"1=", true},
        {"1=Execute x", true},
        {"1=extract \"a", true},
        {"1=extract a b", true},
        {"1=extract \"a\" \"b\" and more", true},
        {"1=quit now", true},
        {"1=link foo", true},
        {"1=link \"<DESKTOP>\\a\"  \"p\" \"q\"", true},  // the reader's target starts at "q"
        // Lines the reader passes over.
        {"extract \"a\" \"b\"", true},
        {"x=run a", true},
        {"-1=run a", true},
        {"=run a", true},
        {"author=me", true},
        {"title =spaced key", true},
        {"compressed=yes", true},
        {"compressed=1 ", true},
        // Lines that read whole.
        {"version=1.4 beta", false},
        {"Publisher=Acme Tools Ltd", false},
        {"1=extract \"a b\" \"%program%\"", false},
        {"1=extract  \"a b\"   \"c\" ", false},
        {"2=copy a", false},
        {"2=copy %program%\\a.txt %common%", false},
        {"3=execute \"%program%\\x y.exe\" -z \"", false},
        {"4=link \"<DESKTOP>\\App\" \"%program%\\a\" \"--fast\"", false},
        {"4=link \"<DESKTOP>\\App\"", false},
        {"5=quit ", false},
        {"$A=run x", false},
        {" 7=cleanup %wtemp%", false},
        {"TITLE=", false},
        {"output=setup.exe", false},
        {"compressed=0", false},
        {"compressed=1", false},
        {"", false},
        {"   ", false},
        {"; a comment", false},
        {"# a comment", false},
        {"[other section]", false},
    };
    for (const Row& row : rows) {
        const ScriptDiagnosis diagnosis = DiagnoseScript("[script]\r\n"s + row.line + "\r\n");
        const std::vector<UnreadLine> expected =
            row.listed ? std::vector<UnreadLine>{{2, row.line}} : std::vector<UnreadLine>{};
        EXPECT_EQ(diagnosis.unread_lines, expected) << row.line;
        // Whatever the reader turns into an empty row is always listed.
        const BuildScript script = ParseScriptFile("[script]\r\n"s + row.line + "\r\n");
        if (!script.Commands.empty() && script.Commands[0].Action == CommandKind::None) {
            EXPECT_TRUE(row.listed) << row.line;
        }
    }
}

TEST(ScriptDiagnosis, CountsLinesAsTheReaderBreaksThem) {
    const ScriptDiagnosis diagnosis = DiagnoseScript("one\r\n\r\ntwo\rthree\nfour");
    ASSERT_EQ(diagnosis.unread_lines.size(), 4u);
    EXPECT_EQ(diagnosis.unread_lines[0], (UnreadLine{1, "one"}));
    EXPECT_EQ(diagnosis.unread_lines[1], (UnreadLine{3, "two"}));
    EXPECT_EQ(diagnosis.unread_lines[2], (UnreadLine{4, "three"}));
    EXPECT_EQ(diagnosis.unread_lines[3], (UnreadLine{5, "four"}));
}

TEST(ScriptDiagnosis, NamesTheLineWhereANulByteEndsTheReading) {
    EXPECT_EQ(DiagnoseScript("[script]\r\n1=quit \r\n\0"
                             "2=run x\r\n"s)
                  .cut_at_line,
              3u);
    EXPECT_EQ(DiagnoseScript("[script]\r\n1=quit \0"
                             "2=run x\r\n"s)
                  .cut_at_line,
              2u);
    // Padding after the last line loses nothing.
    EXPECT_EQ(DiagnoseScript("[script]\r\n1=quit \r\n\0\0 \r\n"s).cut_at_line, std::nullopt);
    EXPECT_EQ(DiagnoseScript("[script]\r\n1=quit \r\n").cut_at_line, std::nullopt);
}

TEST(ScriptDiagnosis, AScriptAsTheEditorWritesItHasNothingToReport) {
    BuildScript script;
    script.Title = "My App";
    script.Prompt = "Click \"INSTALL\"";
    script.Compressed = true;
    script.Commands = {
        {CommandKind::Put, "%apppath%\\files\\a b.txt", "%program%\\My App"},
        {},
        {CommandKind::Execute, "\"%program%\\a.exe\" /x \"", ""},
        {CommandKind::Copy, "", "%common%\\x y"},
        {CommandKind::Shortcut, "<DESKTOP>\\App", "\"%program%\\a.exe\" \"\""},
        {CommandKind::Shortcut, "<DESKTOP>\\App", ""},
        {CommandKind::CleanUp, "%wtemp%", ""},
        {CommandKind::Put, "", ""},
        {CommandKind::Quit, "", ""},
    };
    const ScriptDiagnosis diagnosis = DiagnoseScript(FormatScriptFile(script));
    EXPECT_EQ(diagnosis.verdict, ScriptVerdict::Script);
    EXPECT_TRUE(diagnosis.unread_lines.empty()) << diagnosis.unread_lines[0].text;
}

}  // namespace
}  // namespace kitforge
