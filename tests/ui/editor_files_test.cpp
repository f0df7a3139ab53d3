// The main window's file handling, driven through its menu handlers and controls: Open of
// files that are not scripts or hold lines the reader cannot use, Save As over an existing
// file with the real dialogs, New, the "*" of unsaved changes, the recent files, a dropped
// script and Read Me without a desktop viewer.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <cstdlib>

#include "model/script_file.h"
#include "os/file.h"
#include "qt_test_support.h"
#include "support/run_program.h"
#include "support/scripted_ui_host.h"
#include "support/temp_folder.h"
#include "ui/kitforge_form.h"
#include "ui/qt_ui_host.h"
#include "ui/recent_files_store.h"

namespace kitforge {
namespace {

using testing::DialogAnswer;
using testing::ReadBytes;
using testing::WriteBytes;

// Points HOME, and the user settings in which Qt's file dialog keeps its history, at a folder
// of the test for its lifetime.
class HomeFolderOverride {
public:
    explicit HomeFolderOverride(const std::string& home)
        : config_(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)) {
        if (const char* old = std::getenv("HOME")) old_ = old;
        ::setenv("HOME", home.c_str(), 1);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(home + "/.config"));
    }
    ~HomeFolderOverride() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config_);
        if (old_) {
            ::setenv("HOME", old_->c_str(), 1);
        } else {
            ::unsetenv("HOME");
        }
    }

private:
    QString config_;
    std::optional<std::string> old_;
};

// Lets a test look at the window while a message is up.
class WatchingHost : public testing::ScriptedUiHost {
public:
    std::function<void()> on_message;

    Answer ShowMessage(MessageKind kind, std::string_view text, std::string_view caption, Buttons buttons,
                       std::optional<Answer> default_button) override {
        if (on_message) on_message();
        return ScriptedUiHost::ShowMessage(kind, text, caption, buttons, default_button);
    }
};

class EditorFilesTest : public ::testing::Test {
protected:
    EditorFilesTest() {
        ::mkdir(program_folder.c_str(), 0755);
        form = MakeForm(host);
    }

    std::unique_ptr<TKitforgeForm> MakeForm(UiHost& ui) {
        EditorEnvironment environment = EditorEnvironment::ForThisProgram();
        environment.program_folder = program_folder;
        environment.open_document = [this](const std::string&) { return desktop_has_viewer; };
        // The recent files go to a settings file of this test, never the user's own.
        environment.recent_files_store = SettingsRecentFilesStore(QString::fromStdString(folder / "settings.ini"));
        return std::make_unique<TKitforgeForm>(ui, environment);
    }

    template <typename Widget = QWidget>
    Widget* Get(const char* name) {
        return testing::Child<Widget>(*form, name);
    }
    QString Title() { return form->windowTitle(); }
    QString Caption(const std::string& path) { return QString::fromStdString("Kitforge [" + path + "]"); }
    int Rows() { return Get<QTreeWidget>("ListView1")->topLevelItemCount(); }
    // The File menu as the user opens it, and the recent files it then lists.
    std::vector<std::string> RecentMenu() {
        auto* file = Get<QMenu>("File1");
        emit file->aboutToShow();
        std::vector<std::string> paths;
        for (QAction* action : Get<QMenu>("OpenRecent1")->actions()) {
            if (action->isEnabled()) paths.push_back(action->data().toString().toStdString());
        }
        return paths;
    }
    void WaitFor(const std::function<bool()>& condition) {
        for (int i = 0; i < 200 && !condition(); ++i) QTest::qWait(5);
    }

    testing::TempFolder folder;
    std::string program_folder = folder / "program/";
    WatchingHost host;
    bool desktop_has_viewer = true;
    std::unique_ptr<TKitforgeForm> form;
};

TEST_F(EditorFilesTest, OpenAsksBeforeAFileThatIsNotAScriptAndListsLinesItCouldNotRead) {
    const std::string mine = folder / "mine.inf";
    host.save_file_answers = {mine};
    Get<QLineEdit>("TitleEdit")->setText(QStringLiteral("Mine"));
    form->QuitButtonClick();
    form->SaveAs1Click();
    const std::string binary = folder / "picture.png";
    WriteBytes(binary, std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + std::string(2 << 20, '\x01'));

    host.open_file_answers = {std::vector<std::string>{binary}};
    host.answers = {Answer::No};
    form->Open1Click();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].default_button, Answer::No);
    EXPECT_NE(host.messages[0].text.find("\"" + binary + "\" is not a build script"), std::string::npos);
    EXPECT_EQ(Title(), Caption(mine));
    EXPECT_EQ(Get<QLineEdit>("TitleEdit")->text(), "Mine");
    EXPECT_EQ(Rows(), 1);
    // Save still writes the script it came from, and the picture is untouched.
    Get<QLineEdit>("NotesEdit")->setText(QStringLiteral("n"));
    form->Save1Click();
    EXPECT_EQ(ReadScriptFile(mine).Notes, "n");
    EXPECT_EQ(ReadBytes(binary).size(), 16u + (2u << 20));

    const std::string odd = folder / "odd.inf";
    WriteBytes(odd, "[script]\n1=run a\n2=lnk \"b\"\n3=link\n4=extract \"c\n");
    host.open_file_answers = {std::vector<std::string>{odd}};
    // The list of lines comes over the opened project, not over the one before it.
    QString title_under_message;
    host.on_message = [&] { title_under_message = Get<QLineEdit>("TitleEdit")->text(); };
    form->Open1Click();
    EXPECT_EQ(title_under_message, "");
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1].kind, MessageKind::Warning);
    EXPECT_NE(host.messages[1].text.find("\r\n\r\nLine 3: 2=lnk \"b\"\r\nLine 4: 3=link\r\nLine 5: 4=extract \"c"),
              std::string::npos)
        << host.messages[1].text;
    EXPECT_EQ(Rows(), 4);
    EXPECT_EQ(Title(), Caption(odd));
}

TEST_F(EditorFilesTest, SaveAsAsksBeforeReplacingAFileAndStartsInTheHomeFolder) {
    const HomeFolderOverride home(folder / "home");
    ::mkdir((folder / "home").c_str(), 0755);
    const std::string existing = folder / "home/other.inf";
    WriteBytes(existing, "[info]\r\ntitle=Someone else's\r\n");
    QtUiHost qt_host;
    form = MakeForm(qt_host);
    form->show();
    Get<QLineEdit>("TitleEdit")->setText(QStringLiteral("Mine"));

    for (const bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "Yes" : "No");
        QString started_in;
        QString question;
        DialogAnswer<QFileDialog> save([&](QFileDialog& dialog) {
            started_in = dialog.directory().absolutePath();
            dialog.selectFile(QString::fromStdString(existing));
            static_cast<QDialog&>(dialog).accept();  // as the Save button does
        });
        DialogAnswer<QMessageBox> confirm([&](QMessageBox& box) {
            question = box.text();
            box.button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        form->SaveAs1Click();
        ASSERT_TRUE(save.Answered());
        ASSERT_TRUE(confirm.Answered());
        EXPECT_EQ(started_in, QString::fromStdString(folder / "home"));
        EXPECT_TRUE(question.contains(QStringLiteral("already exists"))) << question.toStdString();
        EXPECT_EQ(ReadScriptFile(existing).Title, replace ? "Mine" : "Someone else's");
        EXPECT_EQ(form->Project().Changed(), !replace);
    }
    EXPECT_EQ(Title(), Caption(existing));
}

TEST_F(EditorFilesTest, NewGivesAnEmptyListAndTheCaptionKitforge) {
    const std::string path = folder / "old.inf";
    WriteScriptFile(
        path, BuildScript{"Old", "P", "", "old.exe", true, {{CommandKind::Run, "a", ""}, {CommandKind::Quit, "", ""}}});
    host.open_file_answers = {std::vector<std::string>{path}};
    form->Open1Click();
    ASSERT_EQ(Rows(), 2);
    form->New1Click();
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(Title(), "Kitforge");
    EXPECT_EQ(Get<QLineEdit>("TitleEdit")->text(), "New Project");
    EXPECT_EQ(Get<QLineEdit>("OutputEdit")->text(), "");
    EXPECT_FALSE(form->Project().Changed());
    // The new project saves as a new file; the old one keeps its commands.
    form->QuitButtonClick();
    host.save_file_answers = {folder / "new.inf"};
    form->Save1Click();
    EXPECT_EQ(ReadScriptFile(folder / "new.inf").Commands.size(), 1u);
    EXPECT_EQ(ReadScriptFile(path).Commands.size(), 2u);
}

// No field shows a script's version and publisher: Open keeps them for Save, New drops them.
TEST_F(EditorFilesTest, TheVersionAndPublisherSurviveOpenAndSaveAndNewDropsThem) {
    const std::string path = folder / "versioned.inf";
    BuildScript script{"Old", "P", "", "old.exe", false, {{CommandKind::Quit, "", ""}}};
    script.Version = "1.2";
    script.Publisher = "Acme Ltd";
    WriteScriptFile(path, script);
    host.open_file_answers = {std::vector<std::string>{path}};
    form->Open1Click();
    EXPECT_TRUE(host.messages.empty());
    Get<QLineEdit>("NotesEdit")->setText(QStringLiteral("n"));
    form->Save1Click();
    script.Notes = "n";
    EXPECT_EQ(ReadScriptFile(path), script);
    form->New1Click();
    form->QuitButtonClick();
    host.save_file_answers = {folder / "new.inf"};
    form->Save1Click();
    EXPECT_EQ(ReadScriptFile(folder / "new.inf").Commands.size(), 1u);
    EXPECT_EQ(ReadScriptFile(folder / "new.inf").Version, "");
    EXPECT_EQ(ReadScriptFile(folder / "new.inf").Publisher, "");
}

TEST_F(EditorFilesTest, TheCaptionCarriesAStarWhileChangesAreUnsavedAndTheQuestionNamesTheFile) {
    EXPECT_EQ(Title(), "Kitforge");
    QTest::keyClicks(Get<QLineEdit>("NotesEdit"), QStringLiteral("x"));
    EXPECT_EQ(Title(), "Kitforge*");
    const std::string path = folder / "setup.inf";
    host.save_file_answers = {path};
    form->Save1Click();
    EXPECT_EQ(Title(), Caption(path));
    QTest::mouseClick(Get<QWidget>("CompressCheck"), Qt::LeftButton);
    EXPECT_EQ(Title(), Caption(path) + "*");
    form->QuitButtonClick();
    EXPECT_EQ(Title(), Caption(path) + "*");
    host.answers = {Answer::Cancel};
    form->New1Click();
    EXPECT_EQ(host.Texts(), std::vector<std::string>{"Save changes to setup.inf?"});
    EXPECT_EQ(Title(), Caption(path) + "*");
}

TEST_F(EditorFilesTest, TheFileMenuListsRecentFilesAcrossRunsAndDropsMissingOnes) {
    EXPECT_TRUE(RecentMenu().empty());
    const std::string a = folder / "a.inf";
    const std::string b = folder / "b & c.inf";
    WriteBytes(a, "[info]\r\ntitle=A\r\n");
    WriteBytes(b, "[info]\r\ntitle=B\r\n");
    host.open_file_answers = {std::vector<std::string>{a}, std::vector<std::string>{b}};
    form->Open1Click();
    form->Open1Click();
    ASSERT_EQ(RecentMenu(), (std::vector<std::string>{b, a}));
    EXPECT_EQ(Get<QAction>("RecentFile1")->text(), QString::fromStdString("&1 " + folder / "b && c.inf"));

    // The next run of the editor lists them too; choosing one opens it.
    form = MakeForm(host);
    ASSERT_EQ(RecentMenu(), (std::vector<std::string>{b, a}));
    Get<QAction>("RecentFile2")->trigger();
    EXPECT_EQ(Get<QLineEdit>("TitleEdit")->text(), "A");
    ASSERT_EQ(RecentMenu(), (std::vector<std::string>{a, b}));

    ::unlink(b.c_str());
    Get<QAction>("RecentFile2")->trigger();
    EXPECT_EQ(host.Texts(),
              std::vector<std::string>{"\"" + b + "\" no longer exists. It has been taken off the recent files."});
    EXPECT_EQ(RecentMenu(), std::vector<std::string>{a});
    EXPECT_EQ(Title(), Caption(a));
}

TEST_F(EditorFilesTest, TheProgramKeepsRecentFilesInTheUsersSettingsFolder) {
    std::vector<std::string> loaded;
    {
        const HomeFolderOverride home(folder / "home");
        const RecentFilesStore store = SettingsRecentFilesStore();
        store.save({"/x/a.inf"});
        loaded = store.load();
    }
    EXPECT_EQ(loaded, std::vector<std::string>{"/x/a.inf"});
    EXPECT_TRUE(FileExists(folder / "home/.config/Kitforge/Kitforge.conf"));
}

TEST_F(EditorFilesTest, ADroppedScriptOpensThroughTheSaveChangesGateWhereverItLands) {
    const std::string path = folder / "Dropped.INF";
    WriteBytes(path, "[info]\r\ntitle=Dropped\r\n");
    // Drags the file over `target` and drops it there; false when the target refused it.
    const auto drop = [](QWidget* target, const std::string& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
        data.setText(QUrl::fromLocalFile(QString::fromStdString(file)).toString());
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        QTest::qWait(20);
        return true;
    };
    EXPECT_FALSE(drop(form.get(), folder / "notes.txt"));

    Get<QLineEdit>("TitleEdit")->setText(QStringLiteral("Unsaved"));
    host.answers = {Answer::Cancel};
    ASSERT_TRUE(drop(form.get(), path));
    WaitFor([this] { return !host.messages.empty(); });
    EXPECT_EQ(Get<QLineEdit>("TitleEdit")->text(), "Unsaved");

    // Dropped on a text field, the script is opened, not pasted into the field as text.
    host.answers = {Answer::No};
    ASSERT_TRUE(drop(Get<QLineEdit>("NotesEdit"), path));
    WaitFor([this] { return form->Project().ScriptFileName() == folder / "Dropped.INF"; });
    EXPECT_EQ(host.Texts(), (std::vector<std::string>{"Save changes to Untitled?", "Save changes to Untitled?"}));
    EXPECT_EQ(Get<QLineEdit>("TitleEdit")->text(), "Dropped");
    EXPECT_EQ(Get<QLineEdit>("NotesEdit")->text(), "");
    EXPECT_FALSE(form->Project().Changed());
    EXPECT_EQ(Title(), Caption(path));
}

TEST_F(EditorFilesTest, ReadMeOpensInsideTheEditorWhenTheDesktopHasNoViewer) {
    desktop_has_viewer = false;
    form = MakeForm(host);
    form->ReadMe1Click();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].kind, MessageKind::Error);
    EXPECT_NE(host.messages[0].text.find(program_folder + "readme.txt"), std::string::npos) << host.messages[0].text;

    WriteBytes(program_folder + "readme.txt", "KITFORGE 2.1\n============\n\nCaf\xE9 instructions.\n");
    form->ReadMe1Click();
    form->ReadMe1Click();  // the window already open comes to the front
    const auto windows = form->findChildren<QDialog*>(QStringLiteral("ReadMeWindow"));
    ASSERT_EQ(windows.size(), 1);
    EXPECT_TRUE(windows[0]->isVisible());
    auto* text = windows[0]->findChild<QPlainTextEdit*>(QStringLiteral("ReadMeText"));
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->toPlainText(), QString::fromUtf8("KITFORGE 2.1\n============\n\nCaf\xC3\xA9 instructions.\n"));
    EXPECT_EQ(host.messages.size(), 1u);
}

// The program's arguments: one script at most, and --help says so.
TEST(EditorProgram, TakesOneScriptArgumentAndItsHelpSaysSo) {
    const std::string program = testing::BuiltProgram("kitforge");
    if (!FileExists(program)) GTEST_SKIP() << "the editor is not built beside the tests";
    const auto help = testing::RunProgram({program, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.substr(0, help.out.find('\n')), "Usage: kitforge [SCRIPT.inf]");
    const auto two = testing::RunProgram({program, "-platform", "offscreen", "a.inf", "b.inf"});
    EXPECT_EQ(two.status, 2);
    EXPECT_NE(two.err.find("kitforge: one build script at a time (a.inf and b.inf were given)\n"), std::string::npos)
        << two.err;
    const auto unknown = testing::RunProgram({program, "-platform", "offscreen", "--open", "a.inf"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("kitforge: unknown option --open\nTry kitforge --help.\n"), std::string::npos)
        << unknown.err;
}

}  // namespace
}  // namespace kitforge
