// The script list's buttons and double-click, driven without a window.

#include "ui/list_commands.h"

#include <gtest/gtest.h>

#include "model/script_file.h"
#include "scripted_dialogs.h"

namespace kitforge {
namespace {

using testing::ScriptedDialogs;
using Fields = std::vector<std::string>;

class ListCommandsTest : public ::testing::Test {
protected:
    // Rows Put a -> %program%, Execute x, Quit; nothing selected, project unchanged.
    void AddThreeRows() {
        project.Rows().Append({CommandKind::Put, "a.txt", "%program%"});
        project.Rows().Append({CommandKind::Execute, "x", ""});
        project.Rows().Append({CommandKind::Quit, "", ""});
        project.SetChanged(false);
    }
    std::vector<ScriptCommand> Rows() const { return project.Rows().Rows(); }

    EditorProject project;
    ScriptedDialogs dialogs;
    ListCommands commands{project, dialogs};
};

TEST_F(ListCommandsTest, PutWithSeveralFilesAndNoSelectionAppendsOneRowEachWithTheSameTarget) {
    AddThreeRows();
    dialogs.answers.push_back(Fields{R"("/s/a.txt" "/s/b c.txt" "/s/d.txt")", "%program%\\App"});
    EXPECT_TRUE(commands.CommandButton(CommandKind::Put));
    ASSERT_EQ(Rows().size(), 6u);
    EXPECT_EQ(Rows()[3], (ScriptCommand{CommandKind::Put, "/s/a.txt", "%program%\\App"}));
    EXPECT_EQ(Rows()[4], (ScriptCommand{CommandKind::Put, "/s/b c.txt", "%program%\\App"}));
    EXPECT_EQ(Rows()[5], (ScriptCommand{CommandKind::Put, "/s/d.txt", "%program%\\App"}));
    EXPECT_FALSE(project.Rows().Selected());
    EXPECT_TRUE(project.Changed());
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].fields, (Fields{"", ""}));  // no selection: an empty dialog
}

TEST_F(ListCommandsTest, PutWithARowSelectedRewritesThatRowWithTheFirstFileOnly) {
    AddThreeRows();
    project.Rows().Select(1);
    dialogs.answers.push_back(Fields{R"("/s/a.txt" "/s/b.txt" "/s/c.txt")", "%wtemp%"});
    commands.CommandButton(CommandKind::Put);
    ASSERT_EQ(Rows().size(), 3u);
    EXPECT_EQ(Rows()[1], (ScriptCommand{CommandKind::Put, "/s/a.txt", "%wtemp%"}));
    EXPECT_EQ(project.Rows().Selected(), 1u);
    // The dialog was filled from the row, whatever it held: an Execute row's command line.
    EXPECT_EQ(dialogs.calls[0].fields, (Fields{"x", ""}));
}

TEST_F(ListCommandsTest, PutWithATypedNameAppendsOneRowAndWithAnEmptySourceNone) {
    dialogs.answers.push_back(Fields{R"(C:\My Files\a.txt)", "%program%"});
    commands.CommandButton(CommandKind::Put);
    ASSERT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Rows()[0].Parameter1, R"(C:\My Files\a.txt)");

    project.SetChanged(false);
    dialogs.answers.push_back(Fields{"", "%program%"});
    EXPECT_TRUE(commands.CommandButton(CommandKind::Put));
    EXPECT_EQ(Rows().size(), 1u);
    EXPECT_TRUE(project.Changed());  // OK was answered all the same
}

TEST_F(ListCommandsTest, CancellingAnyDialogLeavesRowsAndChangedAsTheyWere) {
    AddThreeRows();
    project.Rows().Select(0);
    const auto before = Rows();
    for (const auto kind : {CommandKind::Put, CommandKind::Execute, CommandKind::Run, CommandKind::Copy,
                            CommandKind::Shortcut, CommandKind::CleanUp}) {
        dialogs.answers.push_back(std::nullopt);
        EXPECT_FALSE(commands.CommandButton(kind));
    }
    EXPECT_EQ(Rows(), before);
    EXPECT_FALSE(project.Changed());
    EXPECT_EQ(project.Rows().Selected(), 0u);
}

TEST_F(ListCommandsTest, ExecuteRunAndCleanUpShareOneDialogWithTheirOwnTexts) {
    AddThreeRows();
    project.Rows().Select(0);  // a Put row: its target must not survive as Parameter2
    dialogs.answers.push_back(Fields{"%program%\\setup.sh -q"});
    commands.CommandButton(CommandKind::Execute);
    EXPECT_EQ(Rows()[0], (ScriptCommand{CommandKind::Execute, "%program%\\setup.sh -q", ""}));
    dialogs.answers.push_back(Fields{"%program%\\app"});
    commands.CommandButton(CommandKind::Run);
    EXPECT_EQ(Rows()[0], (ScriptCommand{CommandKind::Run, "%program%\\app", ""}));
    dialogs.answers.push_back(Fields{"%wtemp%"});
    commands.CommandButton(CommandKind::CleanUp);
    EXPECT_EQ(Rows()[0], (ScriptCommand{CommandKind::CleanUp, "%wtemp%", ""}));

    ASSERT_EQ(dialogs.calls.size(), 3u);
    EXPECT_EQ(dialogs.calls[0].dialog, "Execute");
    EXPECT_EQ(dialogs.calls[0].fields, (Fields{"Execute Command (wait until done)", "a.txt"}));
    EXPECT_EQ(dialogs.calls[1].dialog, "Run");
    EXPECT_EQ(dialogs.calls[1].fields, (Fields{"Run Command (don't wait)", "%program%\\setup.sh -q"}));
    EXPECT_EQ(dialogs.calls[2].dialog, "Clean Up");
    EXPECT_EQ(dialogs.calls[2].fields[0], "Clean Up Folder");
}

TEST_F(ListCommandsTest, ShortcutRowsRoundTripThroughTheirDialog) {
    dialogs.answers.push_back(Fields{"<DESKTOP>\\My App", "%program%\\app", "--fast"});
    commands.CommandButton(CommandKind::Shortcut);
    ASSERT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Rows()[0], (ScriptCommand{CommandKind::Shortcut, "<DESKTOP>\\My App", R"("%program%\app" "--fast")"}));

    project.Rows().Select(0);
    dialogs.answers.push_back(Fields{"<DESKTOP>\\My App", "%program%\\app", ""});
    commands.DoubleClick();
    EXPECT_EQ(dialogs.calls[1].fields, (Fields{"<DESKTOP>\\My App", "%program%\\app", "--fast"}));
    EXPECT_EQ(Rows()[0].Parameter2, R"("%program%\app" "")");
    // The saved line reads back into the same row.
    const auto saved = ParseScriptFile(FormatScriptFile(project.Script()));
    EXPECT_EQ(saved.Commands, Rows());
}

TEST_F(ListCommandsTest, CopyOnASelectedShortcutRowIsFilledWithItsTextsAndTurnsItIntoACopy) {
    project.Rows().Append({CommandKind::Shortcut, "<PROGRAMS>\\App", R"("%program%\app" "-x")"});
    project.Rows().Select(0);
    dialogs.answers.push_back(Fields{"%program%\\a.ini", "%system%"});
    commands.CommandButton(CommandKind::Copy);
    EXPECT_EQ(dialogs.calls[0].fields, (Fields{"<PROGRAMS>\\App", R"("%program%\app" "-x")"}));
    EXPECT_EQ(Rows()[0], (ScriptCommand{CommandKind::Copy, "%program%\\a.ini", "%system%"}));
}

TEST_F(ListCommandsTest, QuitOpensNoDialog) {
    EXPECT_TRUE(commands.CommandButton(CommandKind::Quit));
    EXPECT_EQ(Rows(), (std::vector<ScriptCommand>{{CommandKind::Quit, "", ""}}));
    EXPECT_TRUE(project.Changed());
    EXPECT_TRUE(dialogs.calls.empty());

    project.Rows().Append({CommandKind::Run, "x", ""});
    project.Rows().Select(1);
    project.SetChanged(false);
    commands.CommandButton(CommandKind::Quit);
    EXPECT_EQ(Rows()[1], (ScriptCommand{CommandKind::Quit, "", ""}));
    EXPECT_EQ(project.Rows().Selected(), 1u);
}

TEST_F(ListCommandsTest, InsertAddsASelectedEmptyRowWithoutMarkingTheProjectChanged) {
    AddThreeRows();
    project.Rows().Select(0);
    commands.Insert();
    ASSERT_EQ(Rows().size(), 4u);
    EXPECT_EQ(Rows()[0], ScriptCommand{});
    EXPECT_EQ(Rows()[1].Action, CommandKind::Put);
    EXPECT_EQ(project.Rows().Selected(), 0u);

    project.Rows().Select(std::nullopt);
    commands.Insert();
    EXPECT_EQ(Rows().size(), 5u);
    EXPECT_EQ(Rows()[4], ScriptCommand{});
    EXPECT_EQ(project.Rows().Selected(), 4u);
    EXPECT_FALSE(project.Changed());

    // Empty rows write no line, but use up their numbers.
    const std::string text = FormatScriptFile(project.Script());
    EXPECT_NE(text.find("\r\n2=extract \"a.txt\" \"%program%\"\r\n3=execute x\r\n4=quit \r\n"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("1="), std::string::npos);
    EXPECT_EQ(text.find("5="), std::string::npos);
}

TEST_F(ListCommandsTest, InsertThenACommandPlacesItInTheMiddle) {
    AddThreeRows();
    project.Rows().Select(2);
    commands.Insert();
    dialogs.answers.push_back(Fields{"%program%\\a.txt"});
    commands.CommandButton(CommandKind::Execute);
    ASSERT_EQ(Rows().size(), 4u);
    EXPECT_EQ(Rows()[2], (ScriptCommand{CommandKind::Execute, "%program%\\a.txt", ""}));
    EXPECT_EQ(Rows()[3].Action, CommandKind::Quit);
}

TEST_F(ListCommandsTest, DeleteRemovesTheSelectedRowAndWithoutASelectionNothing) {
    AddThreeRows();
    commands.Delete();
    EXPECT_EQ(Rows().size(), 3u);
    EXPECT_FALSE(project.Changed());
    project.Rows().Select(1);
    commands.Delete();
    ASSERT_EQ(Rows().size(), 2u);
    EXPECT_EQ(Rows()[1].Action, CommandKind::Quit);
    EXPECT_TRUE(project.Changed());
    EXPECT_FALSE(project.Rows().Selected());
}

TEST_F(ListCommandsTest, UpAndDownMoveTheSelectedCommandAndKeepItSelected) {
    AddThreeRows();
    const auto before = Rows();
    project.Rows().Select(0);
    commands.Up();
    project.Rows().Select(2);
    commands.Down();
    EXPECT_EQ(Rows(), before);
    EXPECT_FALSE(project.Changed());
    project.Rows().Select(1);
    commands.Up();
    EXPECT_EQ(project.Rows().Selected(), 0u);
    EXPECT_EQ(Rows()[0].Action, CommandKind::Execute);
    EXPECT_TRUE(project.Changed());
    commands.Down();
    EXPECT_EQ(project.Rows().Selected(), 1u);
    EXPECT_EQ(Rows(), before);
}

TEST_F(ListCommandsTest, UpAndDownWithoutASelectionDoNothing) {
    AddThreeRows();
    commands.Up();
    commands.Down();
    EXPECT_FALSE(project.Changed());
}

TEST_F(ListCommandsTest, DoubleClickActsAsTheButtonOfTheSelectedRowsCommand) {
    AddThreeRows();
    commands.DoubleClick();  // nothing selected
    project.Rows().InsertAt(0, ScriptCommand{});
    project.Rows().Select(0);
    commands.DoubleClick();  // an empty row
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_FALSE(project.Changed());

    project.Rows().Select(3);
    commands.DoubleClick();  // Quit: rewritten as Quit, changed
    EXPECT_TRUE(project.Changed());
    EXPECT_TRUE(dialogs.calls.empty());

    project.Rows().Select(1);
    dialogs.answers.push_back(Fields{"b.txt", "%common%"});
    commands.DoubleClick();
    EXPECT_EQ(dialogs.calls.at(0).dialog, "Put A File");
    EXPECT_EQ(dialogs.calls.at(0).fields, (Fields{"a.txt", "%program%"}));
    EXPECT_EQ(Rows()[1], (ScriptCommand{CommandKind::Put, "b.txt", "%common%"}));
}

// Several selected rows: Delete takes them all; the buttons and moves act on the first.
TEST_F(ListCommandsTest, WithSeveralRowsSelectedDeleteRemovesThemAllAndTheRestActOnTheFirst) {
    AddThreeRows();
    project.Rows().Append({CommandKind::Run, "y", ""});
    EXPECT_EQ(commands.CommandButtonTarget(), "Adds a row");
    project.Rows().SelectRows({3, 1});
    EXPECT_EQ(commands.CommandButtonTarget(), "Replaces row 2 (the first of 2 selected)");
    commands.Insert();  // above the first selected, which is selected alone
    EXPECT_EQ(Rows()[1], ScriptCommand{});
    EXPECT_EQ(project.Rows().SelectedRows(), (std::vector<std::size_t>{1}));
    EXPECT_EQ(commands.CommandButtonTarget(), "Replaces row 2");

    project.Rows().SelectRows({2, 4});  // Execute x and Run y
    dialogs.answers.push_back(Fields{"z"});
    commands.CommandButton(CommandKind::Run);
    EXPECT_EQ(Rows()[2], (ScriptCommand{CommandKind::Run, "z", ""}));
    EXPECT_EQ(Rows()[4], (ScriptCommand{CommandKind::Run, "y", ""}));

    commands.Down();
    EXPECT_EQ(Rows()[3], (ScriptCommand{CommandKind::Run, "z", ""}));
    EXPECT_EQ(project.Rows().SelectedRows(), (std::vector<std::size_t>{3}));

    project.SetChanged(false);
    project.Rows().SelectRows({0, 3, 4});
    commands.Delete();
    ASSERT_EQ(Rows().size(), 2u);
    EXPECT_EQ(Rows()[0], ScriptCommand{});
    EXPECT_EQ(Rows()[1].Action, CommandKind::Quit);
    EXPECT_TRUE(project.Rows().SelectedRows().empty());
    EXPECT_TRUE(project.Changed());
}

}  // namespace
}  // namespace kitforge
