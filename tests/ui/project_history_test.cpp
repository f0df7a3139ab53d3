// Undo and Redo of the project, without a window: which changes become steps, what a step
// brings back, and when the project counts as changed afterwards.

#include "ui/project_history.h"

#include <gtest/gtest.h>

namespace kitforge {
namespace {

class ProjectHistoryTest : public ::testing::Test {
protected:
    ProjectHistoryTest() {
        project.SetEncoding(TextEncoding::Utf8);  // a project begins, as Open and New begin one
        project.SetChanged(false);
        history.Record(project);
    }
    void Type(ProjectField field, const std::string& text) {
        project.SetField(field, text);
        history.Record(project, field);
    }
    void AddRow(CommandKind kind) {
        project.Rows().Append({kind, "p", ""});
        project.SetChanged(true);
        history.Record(project);
    }
    std::size_t Rows() const { return project.Rows().Count(); }

    EditorProject project;
    ProjectHistory history;
};

TEST_F(ProjectHistoryTest, TypingInOneFieldIsOneStepAndEveryOtherChangeIsItsOwn) {
    EXPECT_FALSE(history.CanUndo());
    Type(ProjectField::Title, "a");
    Type(ProjectField::Title, "ab");
    Type(ProjectField::Title, "abc");
    AddRow(CommandKind::Run);
    Type(ProjectField::Title, "abcd");  // typing after a command: a new step
    Type(ProjectField::Notes, "n");     // another field: a new step
    project.SetCompressed(true);
    history.Record(project);

    const std::vector<std::pair<std::string, std::size_t>> expected = {
        {"abcd", 1}, {"abcd", 1}, {"abc", 1}, {"abc", 0}, {"", 0}};
    for (const auto& [title, rows] : expected) {
        history.Undo(project);
        EXPECT_EQ(project.Field(ProjectField::Title), title);
        EXPECT_EQ(Rows(), rows);
    }
    EXPECT_FALSE(project.Compressed());
    EXPECT_FALSE(history.CanUndo());
    history.Undo(project);  // nothing left: no change
    EXPECT_EQ(project.Field(ProjectField::Title), "");

    for (int i = 0; i < 5; ++i) history.Redo(project);
    EXPECT_EQ(project.Field(ProjectField::Notes), "n");
    EXPECT_TRUE(project.Compressed());
    EXPECT_FALSE(history.CanRedo());
}

TEST_F(ProjectHistoryTest, ANewChangeAfterUndoEndsRedoAndTypingAfterUndoDoesNotMergeIntoTheOldStep) {
    Type(ProjectField::Title, "one");
    AddRow(CommandKind::Quit);
    history.Undo(project);
    history.Undo(project);
    Type(ProjectField::Title, "t");
    EXPECT_FALSE(history.CanRedo());
    Type(ProjectField::Title, "tw");
    history.Undo(project);
    EXPECT_EQ(project.Field(ProjectField::Title), "");
    EXPECT_EQ(Rows(), 0u);
    history.Redo(project);
    EXPECT_EQ(project.Field(ProjectField::Title), "tw");
}

TEST_F(ProjectHistoryTest, UndoBringsBackTheRowsAndTheSelectionTheyHadBeforeTheCommand) {
    for (const auto kind : {CommandKind::Put, CommandKind::Run, CommandKind::Quit}) AddRow(kind);
    project.Rows().SelectRows({0, 2});
    history.Record(project);  // a selection alone is no step
    project.Rows().Remove(2);
    project.Rows().Remove(0);
    history.Record(project);
    history.Undo(project);
    EXPECT_EQ(Rows(), 3u);
    EXPECT_EQ(project.Rows().SelectedRows(), (std::vector<std::size_t>{0, 2}));
    history.Undo(project);  // the step before: the third row's Append
    EXPECT_EQ(Rows(), 2u);
}

TEST_F(ProjectHistoryTest, UndoingBackToTheSavedStateClearsChangedAndLeavingItSetsIt) {
    Type(ProjectField::Title, "saved");
    project.SetChanged(false);  // a save
    history.Record(project);
    AddRow(CommandKind::Run);
    history.Undo(project);
    EXPECT_FALSE(project.Changed());
    history.Undo(project);  // before the save: differs from the file
    EXPECT_TRUE(project.Changed());
    history.Redo(project);
    EXPECT_FALSE(project.Changed());
    history.Redo(project);
    EXPECT_TRUE(project.Changed());
    // An empty row is not saved, so Insert leaves the project unchanged, and so does its Undo.
    history.Undo(project);
    project.Rows().Append(ScriptCommand{});
    history.Record(project);
    history.Undo(project);
    EXPECT_FALSE(project.Changed());
}

TEST_F(ProjectHistoryTest, OpeningOrStartingAnotherProjectStartsAFreshHistory) {
    Type(ProjectField::Title, "old");
    AddRow(CommandKind::Run);
    project.SetEncoding(TextEncoding::Windows1252);  // as Open and New do
    project.Rows().Clear();
    history.Record(project);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.CanRedo());
    Type(ProjectField::Title, "new");
    BuildScript fields;
    project.SetProjectFields(fields);
    history.Record(project);
    EXPECT_FALSE(history.CanUndo());
}

TEST_F(ProjectHistoryTest, TheOldestStepsGoFirst) {
    for (std::size_t i = 0; i < ProjectHistory::kMaxSteps + 10; ++i) AddRow(CommandKind::Quit);
    std::size_t undone = 0;
    while (history.CanUndo()) {
        history.Undo(project);
        ++undone;
    }
    EXPECT_EQ(undone, ProjectHistory::kMaxSteps - 1);
    EXPECT_EQ(Rows(), 11u);
}

}  // namespace
}  // namespace kitforge
