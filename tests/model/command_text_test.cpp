#include "model/command_text.h"

#include <gtest/gtest.h>

#include "model/command_kinds.h"

namespace kitforge {
namespace {

TEST(FormatCommand, WritesEachKindInItsLineForm) {
    struct Row {
        const char* name;
        ScriptCommand command;
        const char* line;
    };
    const Row rows[] = {
        {"put", {CommandKind::Put, "C:\\a b.txt", "%program%\\x"}, "1=extract \"C:\\a b.txt\" \"%program%\\x\""},
        {"execute", {CommandKind::Execute, "\"%program%\\a.exe\" /q", ""}, "1=execute \"%program%\\a.exe\" /q"},
        {"run", {CommandKind::Run, "notepad", ""}, "1=run notepad"},
        {"copy", {CommandKind::Copy, "%program%\\a", "%system%"}, "1=copy %program%\\a %system%"},
        {"link",
         {CommandKind::Shortcut, "<DESKTOP>\\App", ShortcutTarget("%program%\\a.exe", "-x")},
         "1=link \"<DESKTOP>\\App\" \"%program%\\a.exe\" \"-x\""},
        {"cleanup", {CommandKind::CleanUp, "%wtemp%", ""}, "1=cleanup %wtemp%"},
        {"quit", {CommandKind::Quit, "", ""}, "1=quit "},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(FormatCommand(row.command, 1).value_or("<none>"), row.line) << row.name;
    }
}

TEST(FormatCommand, NoneGivesNoLineAndPositionsAreDecimalWithoutPadding) {
    EXPECT_FALSE(FormatCommand({}, 2).has_value());
    EXPECT_EQ(FormatCommand({CommandKind::Quit, "", ""}, 7).value(), "7=quit ");
    EXPECT_EQ(FormatCommand({CommandKind::Run, "x", ""}, 120).value(), "120=run x");
}

TEST(ParseCommand, RoundTripsEveryKind) {
    const ScriptCommand commands[] = {
        {CommandKind::Put, "C:\\src\\a b.txt", "%program%\\My App"},
        {CommandKind::Execute, "\"%program%\\setup 2.exe\" /quiet \"x y\"", ""},
        {CommandKind::Run, "%program%\\app.exe  --twice", ""},
        {CommandKind::Copy, "%program%\\a.txt", "%system%\\b folder"},
        {CommandKind::Shortcut, "<DESKTOP>\\My App", ShortcutTarget("%program%\\a.exe", "--go now")},
        {CommandKind::Shortcut, "<STARTMENU>\\x", ShortcutTarget("%program%\\a.exe", "")},
        {CommandKind::CleanUp, "%wtemp%\\dir", ""},
        {CommandKind::Quit, "", ""},
    };
    for (const auto& command : commands) {
        const std::string value = FormatCommandValue(command).value();
        EXPECT_EQ(ParseCommand(value), command) << value;
    }
}

TEST(ParseCommand, KeywordsAreLowerCaseWithTheirBlank) {
    EXPECT_EQ(ParseCommand("Execute x").Action, CommandKind::None);
    EXPECT_EQ(ParseCommand("EXTRACT \"a\" \"b\"").Action, CommandKind::None);
    EXPECT_EQ(ParseCommand("quit").Action, CommandKind::None);
    EXPECT_EQ(ParseCommand("quit ").Action, CommandKind::Quit);
    EXPECT_EQ(ParseCommand("quit now"), (ScriptCommand{CommandKind::Quit, "", ""}));
    EXPECT_EQ(ParseCommand("extractx \"a\" \"b\"").Action, CommandKind::None);
    EXPECT_EQ(ParseCommand("").Action, CommandKind::None);
}

TEST(ParseCommand, CopySplitsAtTheFirstBlank) {
    const ScriptCommand copy{CommandKind::Copy, "C:\\My Files\\a.txt", "%program%"};
    EXPECT_EQ(ParseCommand(FormatCommandValue(copy).value()),
              (ScriptCommand{CommandKind::Copy, "C:\\My", "Files\\a.txt %program%"}));
    EXPECT_EQ(ParseCommand("copy onlyone"), (ScriptCommand{CommandKind::Copy, "", "onlyone"}));
}

TEST(ParseCommand, ShortcutWithoutSecondGroupHasEmptyTarget) {
    EXPECT_EQ(ParseCommand("link \"<DESKTOP>\\a\""), (ScriptCommand{CommandKind::Shortcut, "<DESKTOP>\\a", ""}));
}

TEST(QuotedParameter, PicksGroupsAndFallsBackToTheLastFound) {
    struct Row {
        const char* text;
        int n;
        const char* expected;
    };
    const Row rows[] = {
        {"extract \"a\" \"b\"", 1, "a"}, {"extract \"a\" \"b\"", 2, "b"}, {"extract \"a\" \"b\"", 3, "b"},
        {"\"only\"", 2, "only"},         {"no quotes at all", 1, ""},     {"\"a\" \"b\" trailing words", 5, "b"},
        {"\"a\" unclosed \"b", 2, "a"},  {"\"\" \"second\"", 1, ""},      {"\"\" \"second\"", 2, "second"},
        {"\" spaced \"", 1, " spaced "},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(QuotedParameter(row.text, row.n), row.expected) << row.text << " #" << row.n;
    }
}

TEST(ShortcutTarget, EmptyArgumentsKeepTheirQuotes) {
    EXPECT_EQ(ShortcutTarget("p.exe", ""), "\"p.exe\" \"\"");
    EXPECT_EQ(QuotedParameter(ShortcutTarget("p.exe", ""), 2), "");
}

TEST(CommandKinds, CaptionsIdentifyKinds) {
    for (const auto& info : CommandKinds()) {
        EXPECT_EQ(CommandKindFromCaption(info.caption), info.kind);
    }
    EXPECT_EQ(CommandKindFromCaption("put"), CommandKind::None);
    EXPECT_EQ(CommandCaption(CommandKind::CleanUp), "Clean Up");
    EXPECT_EQ(CommandCaption(CommandKind::None), "");
}

TEST(NewBuildScript, HasTheNewProjectValues) {
    const BuildScript script = NewBuildScript();
    EXPECT_EQ(script.Title, "New Project");
    EXPECT_EQ(script.Prompt,
              "To begin installation, click the INSTALL button. If you don't wish to proceed, click the EXIT button.");
    EXPECT_TRUE(script.Notes.empty());
    EXPECT_TRUE(script.Output.empty());
    EXPECT_FALSE(script.Compressed);
    EXPECT_TRUE(script.Commands.empty());
}

}  // namespace
}  // namespace kitforge
