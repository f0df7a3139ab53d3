// The main window driven through its handlers and controls, with a scripted host for every
// message box and file dialog and the real command dialogs answered as they open.

#include "ui/kitforge_form.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "model/script_file.h"
#include "payload/payload_reader.h"
#include "os/file.h"
#include "qt_test_support.h"
#include "support/scripted_ui_host.h"
#include "support/temp_folder.h"
#include "ui/build_check_form.h"
#include "ui/build_result_form.h"
#include "ui/extract_form.h"
#include "ui/link_form.h"

namespace kitforge {
namespace {

using testing::DialogAnswer;

class KitforgeFormTest : public ::testing::Test {
protected:
    KitforgeFormTest() {
        ::mkdir(program_folder.c_str(), 0755);
        EditorEnvironment environment = EditorEnvironment::ForThisProgram();
        environment.program_folder = program_folder;
        environment.open_document = [this](const std::string& path) {
            opened.push_back(path);
            return true;
        };
        form = std::make_unique<TKitforgeForm>(host, environment);
    }

    template <typename Widget = QWidget>
    Widget* Get(const char* name) {
        return testing::Child<Widget>(*form, name);
    }
    QTreeWidget* List() { return Get<QTreeWidget>("ListView1"); }
    QString Cell(int row, int column) { return List()->topLevelItem(row)->text(column); }
    // Mouse and key events reach only a window that is on the screen.
    void Show() {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void SelectRow(int row) {
        const QRect place = List()->visualItemRect(List()->topLevelItem(row));
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, place.center());
    }

    testing::TempFolder folder;
    std::string program_folder = folder / "program/";
    testing::ScriptedUiHost host;
    std::vector<std::string> opened;
    std::unique_ptr<TKitforgeForm> form;
};

TEST_F(KitforgeFormTest, TheWindowHasItsControlsMenuAndLayout) {
    EXPECT_EQ(form->windowTitle(), "Kitforge");
    EXPECT_EQ(form->size(), QSize(635, 504));
    EXPECT_EQ(form->font().family(), "Verdana");
    EXPECT_EQ(Get<QGroupBox>("ProjectInfoGroup")->title(), "Project Info");
    // The group asks for its designed height; it gives up height, and scrolls, only on a small screen.
    EXPECT_GE(Get<QGroupBox>("ProjectInfoGroup")->sizeHint().height(), 206);
    EXPECT_EQ(Get<QGroupBox>("ScriptGroup")->title(), "Script");
    EXPECT_EQ(Get<QLineEdit>("TitleEdit")->text(), "New Project");
    EXPECT_EQ(Get<QLineEdit>("PromptEdit")->text(), QString::fromUtf8(kNewProjectPrompt));
    EXPECT_EQ(Get<QCheckBox>("CompressCheck")->text(), "Use co&mpression");

    struct Item {
        const char* name;
        const char* text;
        QKeySequence key;
    };
    for (const Item& item :
         {Item{"New1", "&New", QKeySequence("Ctrl+N")}, Item{"Open1", "&Open", QKeySequence("Ctrl+O")},
          Item{"Save1", "&Save", QKeySequence("Ctrl+S")}, Item{"SaveAs1", "Save &As...", {}},
          Item{"Build1", "&Build", QKeySequence("Ctrl+B")}, Item{"CreateSFXZip1", "Create S&FX Zip", {}},
          Item{"Exit1", "E&xit", QKeySequence("Ctrl+X")}, Item{"Undo1", "&Undo", QKeySequence("Ctrl+Z")},
          Item{"Redo1", "&Redo", QKeySequence("Ctrl+Shift+Z")}, Item{"ReadMe1", "&Read Me", {}},
          Item{"About1", "&About", {}}}) {
        auto* action = Get<QAction>(item.name);
        if (!action) continue;
        EXPECT_EQ(action->text(), item.text) << item.name;
        EXPECT_EQ(action->shortcut(), item.key) << item.name;
    }
    EXPECT_TRUE(Get<QAction>("N1")->isSeparator());

    QTreeWidget* list = List();
    EXPECT_EQ(list->headerItem()->text(0), "Action");
    EXPECT_EQ(list->headerItem()->text(1), "Parameter 1");
    EXPECT_EQ(list->headerItem()->text(2), "Parameter 2");
    EXPECT_EQ(list->columnWidth(0), 60);
    EXPECT_EQ(list->columnWidth(1), 240);
    EXPECT_EQ(list->columnWidth(2), 200);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);

    EXPECT_EQ(Get<QPushButton>("PutButton")->toolTip(), "Put a file in the installation\nAdds a row");
    EXPECT_EQ(Get<QPushButton>("LinkButton")->text(), "&Shortcut");
    EXPECT_EQ(Get<QPushButton>("CleanupButton")->toolTip(), "Clean up a folder\nAdds a row");
    EXPECT_EQ(Get<QPushButton>("DeleteButton")->toolTip(), "Delete selected command");
    EXPECT_EQ(Get<QToolButton>("UpButton")->toolTip(), "Shuffle command up the script");
    EXPECT_EQ(Get<QToolButton>("UpButton")->focusPolicy(), Qt::TabFocus);
    EXPECT_EQ(Get<QToolButton>("DownButton")->focusPolicy(), Qt::TabFocus);
}

TEST_F(KitforgeFormTest, TheKeyboardVisitsTheFieldsThenTheListThenTheButtons) {
    const std::vector<QString> expected = {
        "TitleEdit",    "PromptEdit",    "OutputEdit", "NotesEdit",     "CompressCheck", "ListView1",
        "InsertButton", "DeleteButton",  "PutButton",  "ExecuteButton", "RunButton",     "CopyButton",
        "LinkButton",   "CleanupButton", "QuitButton", "UpButton",      "DownButton"};
    std::vector<QString> order;
    QWidget* widget = Get("TitleEdit");
    while (order.size() < expected.size()) {
        order.push_back(widget->objectName());
        do {
            widget = widget->nextInFocusChain();
        } while (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty() || !widget->isEnabled());
    }
    EXPECT_EQ(order, expected);
}

TEST_F(KitforgeFormTest, ClosingAtOnceAsksNothing) {
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(KitforgeFormTest, TypingMarksTheProjectChangedAndNewWithNoEmptiesTheList) {
    form->QuitButtonClick();
    form->Project().SetChanged(false);
    QTest::keyClicks(Get<QLineEdit>("TitleEdit"), QStringLiteral("!"));
    EXPECT_TRUE(form->Project().Changed());
    EXPECT_EQ(form->Project().Field(ProjectField::Title), "New Project!");
    host.answers = {Answer::No};
    form->New1Click();
    EXPECT_EQ(Get<QLineEdit>("TitleEdit")->text(), "New Project");
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    EXPECT_FALSE(form->Project().Changed());
    // Typing again: closing asks; Cancel keeps the window open.
    QTest::keyClicks(Get<QLineEdit>("TitleEdit"), QStringLiteral("?"));
    form->show();
    host.answers = {Answer::Cancel};
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(host.Texts(), (std::vector<std::string>{"Save changes to Untitled?", "Save changes to Untitled?"}));
}

TEST_F(KitforgeFormTest, TheCheckBoxMarksTheProjectChanged) {
    QTest::mouseClick(Get<QCheckBox>("CompressCheck"), Qt::LeftButton);
    EXPECT_TRUE(form->Project().Compressed());
    EXPECT_TRUE(form->Project().Changed());
}

TEST_F(KitforgeFormTest, SaveAsNamesTheFileInTheCaptionAndOpenResetsTheWindow) {
    const std::string path = folder / "one.inf";
    host.save_file_answers = {path};
    Get<QLineEdit>("NotesEdit")->setText(QStringLiteral("first"));
    form->SaveAs1Click();
    EXPECT_EQ(form->windowTitle(), QString::fromStdString("Kitforge [" + path + "]"));

    const std::string other = folder / "two.inf";
    WriteScriptFile(other, BuildScript{"Two", "P", "", "two.exe", true, {{CommandKind::Run, "x", ""}}});
    form->InsertButtonClick();
    host.open_file_answers = {std::vector<std::string>{other}};
    form->Open1Click();  // unchanged: Insert does not count
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(Get<QLineEdit>("TitleEdit")->text(), "Two");
    EXPECT_EQ(Get<QLineEdit>("NotesEdit")->text(), "");
    EXPECT_EQ(Get<QLineEdit>("OutputEdit")->text(), "two.exe");
    EXPECT_TRUE(Get<QCheckBox>("CompressCheck")->isChecked());
    ASSERT_EQ(List()->topLevelItemCount(), 1);
    EXPECT_EQ(Cell(0, 0), "Run");
    EXPECT_FALSE(form->Project().Changed());
    EXPECT_EQ(form->windowTitle(), QString::fromStdString("Kitforge [" + other + "]"));
}

TEST_F(KitforgeFormTest, AFailureShowsInTheErrorBoxAndEndsTheCommand) {
    host.open_file_answers = {std::vector<std::string>{folder / "missing.inf"}};
    form->Open1Click();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].kind, MessageKind::Error);
    EXPECT_NE(host.messages[0].text.find(folder / "missing.inf"), std::string::npos);
    EXPECT_EQ(Get<QLineEdit>("TitleEdit")->text(), "New Project");
    EXPECT_EQ(form->windowTitle(), "Kitforge");
}

TEST_F(KitforgeFormTest, InsertSelectsTheNewEmptyRowAndUpDownMoveTheSelection) {
    Show();
    form->QuitButtonClick();
    SelectRow(0);
    form->InsertButtonClick();
    EXPECT_EQ(List()->topLevelItemCount(), 2);
    EXPECT_EQ(List()->currentItem(), List()->topLevelItem(0));
    EXPECT_TRUE(List()->topLevelItem(0)->isSelected());
    EXPECT_EQ(Cell(0, 0), "");
    EXPECT_EQ(Cell(0, 1), "");
    form->Project().SetChanged(false);
    form->InsertButtonClick();
    EXPECT_EQ(Cell(1, 0), "");
    EXPECT_EQ(Cell(2, 0), "Quit");
    EXPECT_FALSE(form->Project().Changed());
    form->UpButtonClick();  // the first row: nothing
    EXPECT_FALSE(form->Project().Changed());

    SelectRow(2);
    EXPECT_EQ(form->Project().Rows().Selected(), 2u);
    form->UpButtonClick();
    EXPECT_EQ(Cell(1, 0), "Quit");
    EXPECT_TRUE(List()->topLevelItem(1)->isSelected());
    form->DownButtonClick();
    form->DownButtonClick();  // the last row: nothing more
    EXPECT_EQ(Cell(2, 0), "Quit");
    EXPECT_TRUE(List()->topLevelItem(2)->isSelected());

    // A click below the rows clears the selection, so the buttons append again.
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, QPoint(20, List()->viewport()->height() - 5));
    EXPECT_FALSE(form->Project().Rows().Selected());
    form->QuitButtonClick();
    EXPECT_EQ(List()->topLevelItemCount(), 4);
}

TEST_F(KitforgeFormTest, PutWithThreeFilesThroughItsDialogAppendsThreeRows) {
    host.open_file_answers = {std::vector<std::string>{"/s/a.txt", "/s/b.txt", "/s/c.txt"}};
    DialogAnswer<TExtractForm> answer([](TExtractForm& dialog) {
        QTest::mouseClick(dialog.findChild<QPushButton*>("Button1"), Qt::LeftButton);
        dialog.findChild<QComboBox*>("ComboBox1")->setCurrentIndex(1);
        QTest::mouseClick(dialog.findChild<QPushButton*>("OKButton"), Qt::LeftButton);
    });
    form->PutButtonClick();
    ASSERT_TRUE(answer.Answered());
    ASSERT_EQ(List()->topLevelItemCount(), 3);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(Cell(row, 0), "Put");
        EXPECT_EQ(Cell(row, 2), "%program%");
    }
    EXPECT_EQ(Cell(2, 1), "/s/c.txt");
    EXPECT_TRUE(List()->selectedItems().isEmpty());
    EXPECT_TRUE(form->Project().Changed());
}

TEST_F(KitforgeFormTest, ShortcutRowsRoundTripThroughTheirDialog) {
    Show();
    DialogAnswer<TLinkForm> create([](TLinkForm& dialog) {
        dialog.findChild<QComboBox*>("ComboBox2")->setCurrentIndex(0);
        QTest::keyClicks(dialog.findChild<QComboBox*>("ComboBox2")->lineEdit(), QStringLiteral("\\My App"));
        dialog.SetTargetProgram(QStringLiteral("%program%\\app"));
        dialog.SetArguments(QStringLiteral("--fast"));
        dialog.accept();
    });
    form->LinkButtonClick();
    ASSERT_TRUE(create.Answered());
    EXPECT_EQ(Cell(0, 0), "Shortcut");
    EXPECT_EQ(Cell(0, 1), "<DESKTOP>\\My App");
    EXPECT_EQ(Cell(0, 2), R"("%program%\app" "--fast")");

    SelectRow(0);
    DialogAnswer<TLinkForm> reopen([](TLinkForm& dialog) {
        EXPECT_EQ(dialog.ShortcutLocation(), "<DESKTOP>\\My App");
        EXPECT_EQ(dialog.TargetProgram(), "%program%\\app");
        EXPECT_EQ(dialog.Arguments(), "--fast");
        dialog.accept();
    });
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {},
                       List()->visualItemRect(List()->topLevelItem(0)).center());
    ASSERT_TRUE(reopen.Answered());
    EXPECT_EQ(Cell(0, 2), R"("%program%\app" "--fast")");
    EXPECT_EQ(form->Project().Rows().Count(), 1u);
}

TEST_F(KitforgeFormTest, BuildFromTheWindowWritesAnInstallerAndSaysWhereItIs) {
    testing::WriteBytes(program_folder + "setup.ex_", "STUB");
    testing::WriteBytes(folder / "a.txt", "contents");
    Get<QLineEdit>("TitleEdit")->setText(QStringLiteral("Window build"));
    Get<QLineEdit>("OutputEdit")->setText(QStringLiteral("setup.exe"));
    host.open_file_answers = {std::vector<std::string>{folder / "a.txt"}};
    DialogAnswer<TExtractForm> put([](TExtractForm& dialog) {
        dialog.Button1Click();
        dialog.SetTargetFolder(QStringLiteral("%program%\\Demo"));
        dialog.accept();
    });
    form->PutButtonClick();
    ASSERT_TRUE(put.Answered());
    form->QuitButtonClick();

    host.answers = {Answer::Yes};
    host.save_file_answers = {folder / "demo.inf"};
    Show();
    form->activateWindow();
    // The source was picked before the script had a folder, so it stays absolute and the check
    // lists it; the window after the build names the installer instead of "Build complete".
    DialogAnswer<TBuildCheckForm> check(
        [](TBuildCheckForm& dialog) { dialog.findChild<QPushButton*>(QStringLiteral("BuildAnywayButton"))->click(); });
    QString result_text;
    DialogAnswer<TBuildResultForm> result([&result_text](TBuildResultForm& dialog) {
        result_text = dialog.findChild<QLabel*>(QStringLiteral("InstallerLabel"))->text();
        dialog.accept();
    });
    QTest::keySequence(form.get(), QKeySequence(Qt::CTRL | Qt::Key_B));
    EXPECT_TRUE(check.Answered());
    EXPECT_TRUE(result.Answered());
    EXPECT_TRUE(result_text.contains(QString::fromStdString(folder / "setup.exe"))) << result_text.toStdString();
    EXPECT_EQ(host.Texts(), (std::vector<std::string>{"Save changes to Untitled?"}));
    const auto payload = payload::ReadPayload(folder / "setup.exe");
    EXPECT_EQ(payload.title, "Window build");
    EXPECT_EQ(payload.lines, (std::vector<std::string>{"EXTRACT a.txt %program%\\Demo", "quit"}));
    ASSERT_EQ(payload.files.size(), 1u);
    EXPECT_EQ(payload.files[0].name, "a.txt");
    EXPECT_EQ(form->windowTitle(), QString::fromStdString("Kitforge [" + folder / "demo.inf" + "]"));
}

TEST_F(KitforgeFormTest, AboutShowsTheProgramsVersionAndReadMeOpensTheReadMe) {
    form->About1Click();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.substr(0, 20), "Kitforge v2.1.0.33\r\n");
    form->ReadMe1Click();
    EXPECT_EQ(opened, std::vector<std::string>{program_folder + "readme.txt"});
    host.open_file_answers = {std::nullopt};
    form->CreateSFXZip1Click();
    EXPECT_EQ(host.messages.size(), 1u);
}

// A script made on Windows holds code page 1252. The window shows its texts as they read and
// writes each back in 1252: untouched texts keep their bytes, edited ones stay in 1252, and a
// character 1252 cannot hold stops the save instead of being lost.
TEST_F(KitforgeFormTest, AWindows1252ScriptKeepsItsEncodingThroughEditsAndSaves) {
    const std::string path = folder / "cafe.inf";
    BuildScript file{
        "Caf\xE9", "Pr\xEAt \x80 \x81",
        "",        "Caf\xE9.exe",
        false,     {{CommandKind::Put, "C:\\Caf\xE9\\a.txt", "%program%\\Caf\xE9"}, {CommandKind::Quit, "", ""}}};
    WriteScriptFile(path, file);
    Show();
    host.open_file_answers = {std::vector<std::string>{path}};
    form->Open1Click();
    ASSERT_TRUE(host.messages.empty()) << host.messages[0].text;
    EXPECT_EQ(Get<QLineEdit>("TitleEdit")->text(), QString::fromUtf8("Caf\xC3\xA9"));
    EXPECT_EQ(Get<QLineEdit>("PromptEdit")->text(), QString::fromUtf8("Pr\xC3\xAAt \xE2\x82\xAC \xC2\x81"));
    EXPECT_EQ(Cell(0, 1), QString::fromUtf8("C:\\Caf\xC3\xA9\\a.txt"));
    EXPECT_EQ(Get<QLabel>("EncodingLabel")->text(), "Encoding: Windows-1252");

    // Another field edited, and the Put row taken through its dialog unchanged.
    Get<QLineEdit>("NotesEdit")->setText(QString::fromUtf8("\xC3\xBC"));
    SelectRow(0);
    DialogAnswer<TExtractForm> reopen([](TExtractForm& dialog) { dialog.accept(); });
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {},
                       List()->visualItemRect(List()->topLevelItem(0)).center());
    ASSERT_TRUE(reopen.Answered());
    form->Save1Click();
    ASSERT_TRUE(host.messages.empty()) << host.messages[0].text;
    file.Notes = "\xFC";
    EXPECT_EQ(testing::ReadBytes(path), FormatScriptFile(file));

    // The path edited: still code page 1252.
    Get<QLineEdit>("OutputEdit")->setText(QString::fromUtf8("Caf\xC3\xA9 2.exe"));
    form->Save1Click();
    file.Output = "Caf\xE9 2.exe";
    EXPECT_EQ(testing::ReadBytes(path), FormatScriptFile(file));

    // Omega is not in code page 1252: the save is refused, naming the field; nothing changes.
    Get<QLineEdit>("TitleEdit")->setText(QString::fromUtf8("\xCE\xA9"));
    form->Save1Click();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].kind, MessageKind::Error);
    EXPECT_NE(host.messages[0].text.find("Title holds \"\xCE\xA9\""), std::string::npos) << host.messages[0].text;
    EXPECT_NE(host.messages[0].text.find(path), std::string::npos) << host.messages[0].text;
    EXPECT_EQ(testing::ReadBytes(path), FormatScriptFile(file));
    EXPECT_TRUE(form->Project().Changed());

    // A new project is UTF-8, and so is a script that is UTF-8 throughout.
    host.answers = {Answer::No, Answer::No};  // "Save changes to Untitled?" before New, and before Open
    form->New1Click();
    EXPECT_EQ(Get<QLabel>("EncodingLabel")->text(), "Encoding: UTF-8");
    const std::string utf8 = folder / "utf8.inf";
    WriteScriptFile(utf8, BuildScript{"Caf\xC3\xA9", "", "", "x.exe", false, {}});
    host.open_file_answers = {std::vector<std::string>{utf8}};
    form->Open1Click();
    EXPECT_EQ(Get<QLineEdit>("TitleEdit")->text(), QString::fromUtf8("Caf\xC3\xA9"));
    EXPECT_EQ(Get<QLabel>("EncodingLabel")->text(), "Encoding: UTF-8");
}

}  // namespace
}  // namespace kitforge
