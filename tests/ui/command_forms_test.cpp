// The four command dialogs as Qt widgets: their controls, places, keyboard order and items,
// their text properties, and what their browse buttons do through the scripted host.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "qt_test_support.h"
#include "support/scripted_ui_host.h"
#include "ui/copy_form.h"
#include "ui/dialog_browsing.h"
#include "ui/execute_form.h"
#include "ui/extract_form.h"
#include "ui/link_form.h"
#include "ui/qt_command_dialogs.h"

namespace kitforge {
namespace {

using testing::Child;
using testing::ScriptedUiHost;

// A host that also remembers where the folder picker started.
class PickerHost : public ScriptedUiHost {
public:
    std::optional<std::string> PickFolder(std::string_view caption, std::string_view initial_folder) override {
        pickers.emplace_back(std::string(caption) + "|" + std::string(initial_folder));
        return ScriptedUiHost::PickFolder(caption, initial_folder);
    }
    std::vector<std::string> pickers;
};

struct Place {
    const char* name;
    int left, top, width, height;
};

void ExpectPlaces(QWidget& dialog, std::initializer_list<Place> places) {
    for (const auto& place : places) {
        QWidget* widget = Child<QWidget>(dialog, place.name);
        if (!widget) continue;
        const QRect g = widget->geometry();
        EXPECT_EQ(g.left(), place.left) << place.name;
        EXPECT_EQ(g.top(), place.top) << place.name;
        if (place.width) {
            EXPECT_EQ(g.width(), place.width) << place.name;
        }
        EXPECT_EQ(g.height(), place.height) << place.name;
    }
}

// The widgets that take the focus one after the other, from `first`.
std::vector<QString> TabOrder(QWidget& dialog, const char* first, std::size_t count) {
    std::vector<QString> names;
    QWidget* widget = Child<QWidget>(dialog, first);
    while (widget && names.size() < count) {
        names.push_back(widget->objectName());
        do {
            widget = widget->nextInFocusChain();
        } while (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty());
    }
    return names;
}

std::vector<QString> Items(QComboBox* combo) {
    std::vector<QString> items;
    for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i));
    return items;
}

std::vector<QString> MacroItems() {
    std::vector<QString> items;
    for (const auto macro : FolderMacros()) items.push_back(QString::fromUtf8(macro.data(), macro.size()));
    return items;
}

TEST(CommandForms, PutAFileHasItsControlsInPlace) {
    ScriptedUiHost host;
    TExtractForm form(host);
    EXPECT_EQ(form.windowTitle(), "Put A File");
    EXPECT_EQ(form.size(), QSize(419, 146));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());  // not resizable
    ExpectPlaces(form, {{"Label1", 8, 8, 0, 13},
                        {"Edit1", 8, 24, 376, 21},
                        {"Button1", 388, 24, 22, 22},
                        {"Label2", 8, 56, 0, 13},
                        {"ComboBox1", 8, 72, 377, 21},
                        {"Button2", 388, 72, 22, 22},
                        {"OKButton", 256, 112, 75, 25},
                        {"CancelButton", 336, 112, 75, 25}});
    EXPECT_EQ(Child<QLabel>(form, "Label1")->text(), "&Source File");
    EXPECT_EQ(Child<QLabel>(form, "Label2")->text(), "&Target Folder");
    EXPECT_EQ(TabOrder(form, "Edit1", 6),
              (std::vector<QString>{"Edit1", "Button1", "ComboBox1", "Button2", "OKButton", "CancelButton"}));
    EXPECT_EQ(Items(Child<QComboBox>(form, "ComboBox1")), MacroItems());
    EXPECT_TRUE(Child<QPushButton>(form, "OKButton")->isDefault());
    EXPECT_EQ(form.SourceFiles(), "");
    EXPECT_EQ(form.TargetFolder(), "");
}

TEST(CommandForms, ExecuteCopyAndShortcutHaveTheirControlsInPlace) {
    ScriptedUiHost host;
    TExecuteForm execute;
    EXPECT_EQ(execute.windowTitle(), "Execute");
    EXPECT_EQ(execute.size(), QSize(419, 96));
    ExpectPlaces(execute, {{"Label2", 8, 8, 0, 13},
                           {"ComboBox1", 8, 24, 401, 21},
                           {"OKButton", 256, 64, 75, 25},
                           {"CancelButton", 336, 64, 75, 25}});
    EXPECT_EQ(Child<QLabel>(execute, "Label2")->text(), "&Execute Command (wait until done)");
    EXPECT_EQ(Items(Child<QComboBox>(execute, "ComboBox1")), MacroItems());

    TCopyForm copy(host, "/prog/");
    EXPECT_EQ(copy.windowTitle(), "Copy File");
    EXPECT_EQ(copy.size(), QSize(419, 146));
    ExpectPlaces(copy, {{"Label1", 8, 8, 0, 13},
                        {"ComboBox2", 8, 24, 377, 21},
                        {"Button1", 388, 24, 22, 22},
                        {"Label2", 8, 56, 0, 13},
                        {"ComboBox1", 8, 72, 377, 21},
                        {"Button2", 388, 72, 22, 22},
                        {"OKButton", 256, 112, 75, 25},
                        {"CancelButton", 336, 112, 75, 25}});
    EXPECT_EQ(TabOrder(copy, "ComboBox2", 6),
              (std::vector<QString>{"ComboBox2", "Button1", "ComboBox1", "Button2", "OKButton", "CancelButton"}));
    EXPECT_EQ(Items(Child<QComboBox>(copy, "ComboBox2")), MacroItems());
    EXPECT_EQ(Items(Child<QComboBox>(copy, "ComboBox1")), MacroItems());

    TLinkForm link;
    EXPECT_EQ(link.windowTitle(), "Create A Shortcut");
    EXPECT_EQ(link.size(), QSize(419, 185));
    ExpectPlaces(link, {{"Label1", 8, 8, 0, 13},
                        {"ComboBox2", 8, 24, 401, 21},
                        {"Label2", 8, 56, 0, 13},
                        {"ComboBox1", 8, 72, 401, 21},
                        {"Label3", 8, 104, 0, 13},
                        {"Edit1", 8, 120, 401, 21},
                        {"OKButton", 256, 152, 75, 25},
                        {"CancelButton", 336, 152, 75, 25}});
    EXPECT_EQ(TabOrder(link, "ComboBox2", 5),
              (std::vector<QString>{"ComboBox2", "ComboBox1", "Edit1", "OKButton", "CancelButton"}));
    EXPECT_EQ(Child<QLabel>(link, "Label3")->text(), "Command Line &Arguments");
    const auto tokens = Items(Child<QComboBox>(link, "ComboBox2"));
    ASSERT_EQ(tokens.size(), 31u);
    EXPECT_EQ(tokens.front(), "<DESKTOP>");
    EXPECT_EQ(tokens[18], "<COMMON_STARTMENU>");
    EXPECT_EQ(tokens.back(), "<QUICK_LAUNCH>");
    EXPECT_EQ(Items(Child<QComboBox>(link, "ComboBox1")), MacroItems());
}

TEST(CommandForms, TheShortcutLocationLabelShowsOneAmpersand) {
    TLinkForm link;
    QLabel* label = Child<QLabel>(link, "Label1");
    ASSERT_NE(label->buddy(), nullptr);  // with a buddy, "&&" is drawn as one "&"
    QLabel plain(QStringLiteral("Shortcut Location & Name"));
    plain.setFont(label->font());
    EXPECT_EQ(label->sizeHint().width(), plain.sizeHint().width());
}

TEST(CommandForms, TextPropertiesPrefillTheFieldsAndComboItemsGiveTheMacroAlone) {
    TLinkForm link;
    link.SetShortcutLocation(QStringLiteral("<STARTUP>\\App"));
    link.SetTargetProgram(QStringLiteral("%program%\\app"));
    link.SetArguments(QStringLiteral("-q"));
    EXPECT_EQ(Child<QComboBox>(link, "ComboBox2")->currentText(), "<STARTUP>\\App");
    EXPECT_EQ(Child<QLineEdit>(link, "Edit1")->text(), "-q");
    auto* program = Child<QComboBox>(link, "ComboBox1");
    program->setCurrentIndex(1);
    EXPECT_EQ(link.TargetProgram(), "%program%");
    QTest::keyClicks(program->lineEdit(), QStringLiteral("\\MyApp"));
    EXPECT_EQ(link.TargetProgram(), "%program%\\MyApp");
    EXPECT_EQ(program->count(), 4);  // typing adds nothing to the list
}

TEST(CommandForms, PutSourceButtonQuotesEveryChosenFileAndCancelChangesNothing) {
    ScriptedUiHost host;
    TExtractForm form(host);
    form.SetSourceFiles(QStringLiteral("/data/old.txt"));
    host.open_file_answers = {std::vector<std::string>{"/data/a.txt", "/data/b.txt"}, std::nullopt,
                              std::vector<std::string>{}};
    QTest::mouseClick(Child<QPushButton>(form, "Button1"), Qt::LeftButton);
    EXPECT_EQ(form.SourceFiles(), R"("/data/a.txt" "/data/b.txt")");
    const auto& dialog = host.file_dialogs.at(0);
    EXPECT_EQ(dialog.title, "Select Source File");
    EXPECT_TRUE(dialog.allow_multiple);
    EXPECT_TRUE(dialog.file_must_exist);
    EXPECT_EQ(dialog.filter, "");
    EXPECT_EQ(dialog.file_name, "/data/old.txt");
    EXPECT_EQ(dialog.initial_folder, "/data/");
    form.Button1Click();  // cancelled
    form.Button1Click();  // no file given
    EXPECT_EQ(form.SourceFiles(), R"("/data/a.txt" "/data/b.txt")");
    // The quoted list still seeds the next dialog, which opens at the first file's folder.
    EXPECT_EQ(host.file_dialogs.at(1).file_name, R"("/data/a.txt" "/data/b.txt")");
    EXPECT_EQ(host.file_dialogs.at(1).initial_folder, "/data/");
}

TEST(CommandForms, TargetButtonsReplaceAMacroWithTheChosenFolder) {
    PickerHost host;
    TExtractForm put(host);
    put.SetTargetFolder(QStringLiteral("%program%"));
    host.folder_answers = {std::string("/"), std::nullopt};
    QTest::mouseClick(Child<QPushButton>(put, "Button2"), Qt::LeftButton);
    EXPECT_EQ(put.TargetFolder(), "/");
    put.Button2Click();
    EXPECT_EQ(put.TargetFolder(), "/");
    // A macro is no folder of this machine: the picker "Target Folder" starts at home then,
    // and at the folder itself once the field names one.
    EXPECT_EQ(host.pickers, (std::vector<std::string>{"Target Folder|" + TargetPickerStart(""), "Target Folder|/"}));

    TCopyForm copy(host, "/prog/");
    host.folder_answers = {std::string("/srv")};
    copy.Button2Click();
    EXPECT_EQ(copy.TargetFolder(), "/srv");
    EXPECT_EQ(host.pickers.back(), "Target Folder|" + TargetPickerStart(""));
}

TEST(CommandForms, CopySourceButtonStartsInTheProgramFolderWhenTheFieldIsEmpty) {
    ScriptedUiHost host;
    TCopyForm copy(host, "/prog/");
    host.open_file_answers = {std::vector<std::string>{"/etc/app.conf"}, std::nullopt};
    copy.Button1Click();
    EXPECT_EQ(host.file_dialogs.at(0).initial_folder, "/prog/");
    EXPECT_EQ(host.file_dialogs.at(0).file_name, "");
    EXPECT_FALSE(host.file_dialogs.at(0).allow_multiple);
    EXPECT_EQ(copy.SourceFile(), "/etc/app.conf");
    copy.Button1Click();
    EXPECT_EQ(host.file_dialogs.at(1).initial_folder, "/etc/");
    EXPECT_EQ(host.file_dialogs.at(1).file_name, "/etc/app.conf");
    EXPECT_EQ(copy.SourceFile(), "/etc/app.conf");
}

TEST(CommandForms, TheQtDialogsAreFilledShownAndReadBack) {
    ScriptedUiHost host;
    QWidget owner;
    QtCommandDialogs dialogs(host, "/prog/", &owner);

    testing::DialogAnswer<TExecuteForm> run([](TExecuteForm& form) {
        EXPECT_EQ(form.windowTitle(), "Run");
        EXPECT_EQ(form.findChild<QLabel*>("Label2")->text(), "&Run Command (don't wait)");
        EXPECT_EQ(form.CommandLine(), "old");
        form.SetCommandLine(QStringLiteral("%program%\\app -x"));
        QTest::mouseClick(form.findChild<QPushButton*>("OKButton"), Qt::LeftButton);
    });
    EXPECT_EQ(dialogs.ShowExecute(kRunTexts, "old"), "%program%\\app -x");
    EXPECT_TRUE(run.Answered());

    testing::DialogAnswer<TCopyForm> cancel([](TCopyForm& form) {
        EXPECT_EQ(form.SourceFile(), "a");
        QTest::mouseClick(form.findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
    });
    EXPECT_EQ(dialogs.ShowCopy({"a", "b"}), std::nullopt);
    EXPECT_TRUE(cancel.Answered());

    testing::DialogAnswer<TLinkForm> enter([](TLinkForm& form) {
        EXPECT_EQ(form.TargetProgram(), "p");
        EXPECT_EQ(form.Arguments(), "");
        // Enter in a combo box answers OK, as the default button does.
        QTest::keyClick(form.findChild<QComboBox*>("ComboBox2"), Qt::Key_Return);
    });
    EXPECT_EQ(dialogs.ShowLink({"<DESKTOP>", "p", ""}), (LinkFields{"<DESKTOP>", "p", ""}));
    EXPECT_TRUE(enter.Answered());
}

}  // namespace
}  // namespace kitforge
