// The main window from the keyboard: Undo and Redo through their keys and the Edit menu, the
// keys of the script list, the command buttons' note of which row they replace, the Alt keys
// of every window, and the command dialogs' combo boxes taking text as typed.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <map>
#include <set>

#include "model/script_file.h"
#include "qt_test_support.h"
#include "support/scripted_ui_host.h"
#include "support/temp_folder.h"
#include "ui/copy_form.h"
#include "ui/execute_form.h"
#include "ui/extract_form.h"
#include "ui/kitforge_form.h"
#include "ui/link_form.h"

namespace kitforge {
namespace {

using testing::DialogAnswer;

class EditorKeyboardTest : public ::testing::Test {
protected:
    EditorKeyboardTest() {
        EditorEnvironment environment = EditorEnvironment::ForThisProgram();
        environment.program_folder = folder / "";
        form = std::make_unique<TKitforgeForm>(host, environment);
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    template <typename Widget = QWidget>
    Widget* Get(const char* name) {
        return testing::Child<Widget>(*form, name);
    }
    QTreeWidget* List() { return Get<QTreeWidget>("ListView1"); }
    QLineEdit* Title() { return Get<QLineEdit>("TitleEdit"); }
    QAction* Undo() { return Get<QAction>("Undo1"); }
    QAction* Redo() { return Get<QAction>("Redo1"); }
    // Keys go to the control that has the focus, as the user's do.
    void Key(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        widget->setFocus();
        QTest::keyClick(widget, key, modifiers);
    }
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, modifiers,
                          List()->visualItemRect(List()->topLevelItem(row)).center());
    }
    void SetRows(const std::vector<ScriptCommand>& rows) {
        form->Project().Rows().Assign(rows);
        form->SyncControls();
    }
    std::vector<ScriptCommand> Rows() { return form->Project().Rows().Rows(); }
    std::vector<std::size_t> Selection() { return form->Project().Rows().SelectedRows(); }

    testing::TempFolder folder;
    testing::ScriptedUiHost host;
    std::unique_ptr<TKitforgeForm> form;
};

const ScriptCommand kPut{CommandKind::Put, "a.txt", "%program%"};
const ScriptCommand kExecute{CommandKind::Execute, "x", ""};
const ScriptCommand kRun{CommandKind::Run, "r", ""};
const ScriptCommand kQuit{CommandKind::Quit, "", ""};

TEST_F(EditorKeyboardTest, CtrlZUndoesTheProjectFromAFieldAsFromTheListAndTheEditMenuFollows) {
    EXPECT_FALSE(Undo()->isEnabled());
    EXPECT_FALSE(Redo()->isEnabled());
    form->QuitButtonClick();
    Title()->setFocus();
    QTest::keyClicks(Title(), QStringLiteral(" two"));
    EXPECT_TRUE(Undo()->isEnabled());
    EXPECT_FALSE(Redo()->isEnabled());

    // In the field, Ctrl+Z takes back the whole run of typing, then the row made before it:
    // one undo for the whole window, not the field's own.
    Key(Title(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Title()->text(), "New Project");
    EXPECT_EQ(List()->topLevelItemCount(), 1);
    Key(Title(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    EXPECT_FALSE(Undo()->isEnabled());
    EXPECT_TRUE(Redo()->isEnabled());

    Key(List(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(List()->topLevelItemCount(), 1);
    Key(Title(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Title()->text(), "New Project two");
    EXPECT_FALSE(Redo()->isEnabled());
    Key(Title(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);  // nothing to redo
    EXPECT_EQ(Title()->text(), "New Project two");

    Undo()->trigger();
    EXPECT_EQ(Title()->text(), "New Project");
    Redo()->trigger();
    EXPECT_EQ(Title()->text(), "New Project two");
}

TEST_F(EditorKeyboardTest, UndoBackToTheSavedScriptClearsChangedAndNewAndOpenStartAFreshHistory) {
    const std::string path = folder / "one.inf";
    QTest::keyClicks(Title(), QStringLiteral("!"));
    host.save_file_answers = {path};
    form->SaveAs1Click();
    ASSERT_FALSE(form->Project().Changed());
    {
        DialogAnswer<TExecuteForm> cancel([](TExecuteForm& dialog) { dialog.reject(); });
        form->RunButtonClick();  // cancelled: no step
        EXPECT_TRUE(cancel.Answered());
    }
    form->QuitButtonClick();
    EXPECT_TRUE(form->Project().Changed());
    Undo()->trigger();
    EXPECT_FALSE(form->Project().Changed());
    Undo()->trigger();
    EXPECT_TRUE(form->Project().Changed());
    EXPECT_EQ(Title()->text(), "New Project");
    Redo()->trigger();

    WriteScriptFile(folder / "two.inf", BuildScript{"Two", "", "", "two.exe", false, {kRun}});
    host.open_file_answers = {std::vector<std::string>{folder / "two.inf"}};
    form->Open1Click();
    EXPECT_EQ(Title()->text(), "Two");
    EXPECT_FALSE(Undo()->isEnabled());
    EXPECT_FALSE(Redo()->isEnabled());

    form->QuitButtonClick();
    ASSERT_TRUE(Undo()->isEnabled());
    host.answers = {Answer::No};
    form->New1Click();
    EXPECT_FALSE(Undo()->isEnabled());
}

TEST_F(EditorKeyboardTest, DeleteRemovesEverySelectedRowAndUndoBringsThemBackSelected) {
    SetRows({kPut, kExecute, kRun, kQuit});
    ClickRow(1);
    ClickRow(3, Qt::ControlModifier);
    EXPECT_EQ(Selection(), (std::vector<std::size_t>{1, 3}));
    Key(List(), Qt::Key_Delete);
    EXPECT_EQ(Rows(), (std::vector<ScriptCommand>{kPut, kRun}));
    EXPECT_TRUE(form->Project().Changed());
    EXPECT_TRUE(List()->selectedItems().isEmpty());

    Key(List(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Rows(), (std::vector<ScriptCommand>{kPut, kExecute, kRun, kQuit}));
    EXPECT_EQ(Selection(), (std::vector<std::size_t>{1, 3}));
    EXPECT_TRUE(List()->topLevelItem(1)->isSelected());
    EXPECT_TRUE(List()->topLevelItem(3)->isSelected());

    // Delete in a text field deletes text, never rows.
    Title()->setCursorPosition(0);
    Key(Title(), Qt::Key_Delete);
    EXPECT_EQ(Title()->text(), "ew Project");
    EXPECT_EQ(Rows().size(), 4u);
}

TEST_F(EditorKeyboardTest, EnterAndF2EditTheSelectedRowAndCtrlUpAndDownMoveIt) {
    SetRows({kPut, kExecute, kQuit});
    ClickRow(1);
    for (const Qt::Key key : {Qt::Key_F2, Qt::Key_Return}) {
        DialogAnswer<TExecuteForm> answer([](TExecuteForm& dialog) {
            dialog.SetCommandLine(dialog.CommandLine() + QStringLiteral("+"));
            dialog.accept();
        });
        Key(List(), key);
        EXPECT_TRUE(answer.Answered()) << key;
    }
    EXPECT_EQ(Rows()[1].Parameter1, "x++");

    Key(List(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(Rows()[0].Parameter1, "x++");
    EXPECT_EQ(Selection(), (std::vector<std::size_t>{0}));
    Key(List(), Qt::Key_Down, Qt::ControlModifier);
    Key(List(), Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Rows()[2].Parameter1, "x++");
    EXPECT_EQ(Selection(), (std::vector<std::size_t>{2}));
    EXPECT_TRUE(List()->topLevelItem(2)->isSelected());
}

TEST_F(EditorKeyboardTest, TheButtonsHintsAndTheStatusLineSayWhichRowTheButtonsReplace) {
    SetRows({kPut, kExecute, kQuit});
    const auto expect_note = [this](const QString& note) {
        EXPECT_EQ(Get<QLabel>("ListHintLabel")->text(), note);
        EXPECT_EQ(Get<QPushButton>("ExecuteButton")->toolTip(), "Execute an application and wait\n" + note);
        EXPECT_EQ(Get<QPushButton>("QuitButton")->toolTip(), "Quit the installation\n" + note);
    };
    expect_note(QStringLiteral("Adds a row"));
    ClickRow(2);
    expect_note(QStringLiteral("Replaces row 3"));
    ClickRow(0, Qt::ShiftModifier);
    expect_note(QStringLiteral("Replaces row 1 (the first of 3 selected)"));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, QPoint(20, List()->viewport()->height() - 5));
    expect_note(QStringLiteral("Adds a row"));
    form->InsertButtonClick();  // selects the new row
    expect_note(QStringLiteral("Replaces row 4"));
}

// The letter that "&" marks in a control's text, in lower case; "&&" is a plain ampersand.
QChar AltKey(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&') continue;
        if (text[i + 1] != u'&') return text[i + 1].toLower();
        ++i;
    }
    return QChar();
}

// Every labelled field, every button with a caption and every menu of a window carries an Alt
// key, and no two of them the same. The "..." browse buttons are reached with Tab.
void ExpectOwnAltKeys(QWidget& window, const std::string& name) {
    std::vector<std::pair<QString, QString>> controls;  // object name, text
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (label->buddy()) controls.emplace_back(label->objectName(), label->text());
    }
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        if (!button->text().isEmpty() && button->text() != "...") {
            controls.emplace_back(button->objectName(), button->text());
        }
    }
    if (auto* main = qobject_cast<QMainWindow*>(&window)) {
        for (const QAction* menu : main->menuBar()->actions())
            controls.emplace_back(menu->menu()->objectName(), menu->text());
    }
    ASSERT_FALSE(controls.empty()) << name;
    std::map<QChar, QString> owners;
    for (const auto& [object, text] : controls) {
        const QChar key = AltKey(text);
        EXPECT_FALSE(key.isNull()) << name << ": " << text.toStdString() << " has no Alt key";
        if (key.isNull()) continue;
        const auto [owner, added] = owners.emplace(key, object);
        EXPECT_TRUE(added) << name << ": " << object.toStdString() << " and " << owner->second.toStdString()
                           << " share Alt+" << QString(key).toStdString();
    }
}

TEST_F(EditorKeyboardTest, EveryMenuButtonAndLabelledFieldHasItsOwnAltKey) {
    ExpectOwnAltKeys(*form, "main window");
    for (const QMenu* menu : form->menuBar()->findChildren<QMenu*>()) {
        std::set<QChar> keys;
        for (const QAction* action : menu->actions()) {
            if (action->isSeparator() || action->menu()) continue;
            const QChar key = AltKey(action->text());
            EXPECT_FALSE(key.isNull()) << action->text().toStdString();
            EXPECT_TRUE(keys.insert(key).second)
                << "Alt+" << QString(key).toStdString() << " twice in " << menu->objectName().toStdString();
        }
    }
    TExtractForm put(host);
    ExpectOwnAltKeys(put, "Put A File");
    TCopyForm copy(host, "/prog/");
    ExpectOwnAltKeys(copy, "Copy File");
    TLinkForm link;
    ExpectOwnAltKeys(link, "Create A Shortcut");
    TExecuteForm execute;
    for (const ExecuteTexts& texts : {kExecuteTexts, kRunTexts, kCleanUpTexts}) {
        execute.SetLabelText(QString::fromUtf8(texts.label.data(), static_cast<qsizetype>(texts.label.size())));
        ExpectOwnAltKeys(execute, std::string(texts.caption));
    }

    // The Alt key reaches its control: Alt+O puts the cursor in Output File, Alt+U opens Put.
    Title()->setFocus();
    QTest::keyClick(form.get(), Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), Get("OutputEdit"));
    DialogAnswer<TExtractForm> opened([](TExtractForm& dialog) { dialog.reject(); });
    QTest::keyClick(form.get(), Qt::Key_U, Qt::AltModifier);
    // A button's Alt key presses it the way a click looks: a moment later.
    EXPECT_TRUE(QTest::qWaitFor([&opened] { return opened.Answered(); }, 2000));
}

TEST(CommandDialogCombos, TakeTypedTextAsTypedInsteadOfCompletingIt) {
    testing::ScriptedUiHost host;
    TExtractForm put(host);
    TExecuteForm execute;
    TCopyForm copy(host, "/prog/");
    TLinkForm link;
    const std::vector<std::pair<QWidget*, const char*>> combos = {{&put, "ComboBox1"},  {&execute, "ComboBox1"},
                                                                  {&copy, "ComboBox2"}, {&copy, "ComboBox1"},
                                                                  {&link, "ComboBox2"}, {&link, "ComboBox1"}};
    for (const auto& [dialog, name] : combos) {
        dialog->show();
        auto* combo = dialog->findChild<QComboBox*>(QString::fromLatin1(name));
        ASSERT_NE(combo, nullptr) << name;
        const QString typed = combo->itemText(0).left(2);  // "%w", or "<D" for the shortcut location
        combo->setFocus();
        QTest::keyClicks(combo->lineEdit(), typed);
        EXPECT_EQ(combo->currentText(), typed) << dialog->objectName().toStdString() << " " << name;
        dialog->hide();
    }
}

}  // namespace
}  // namespace kitforge
