#pragma once
// TKitforgeForm, the editor's main window. It holds the controls and mirrors the project
// that EditorProject keeps; each handler forwards to FileCommands or ListCommands and then
// brings the controls up to date. Failures end the command and show in an error box.

#include <QMainWindow>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/command_dialogs.h"
#include "ui/editor_project.h"
#include "ui/file_commands.h"
#include "ui/list_commands.h"
#include "ui/project_history.h"

class QAction;
class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;
class QTreeWidget;

namespace kitforge {

class UiHost;

class TKitforgeForm : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kWidth = 635;
    static constexpr int kHeight = 504;
    // The project-info group's height when the window has room for it; it scrolls when less.
    static constexpr int kProjectInfoHeight = 206;

    TKitforgeForm(UiHost& host, EditorEnvironment environment, QWidget* parent = nullptr);
    ~TKitforgeForm() override;

    EditorProject& Project() noexcept { return project_; }
    FileCommands& Files() noexcept { return files_; }
    // Opens a script named on the command line or dropped onto the window, through the
    // save-changes gate.
    void OpenFile(const std::string& path);

public slots:
    void New1Click();
    void Open1Click();
    void Save1Click();
    void SaveAs1Click();
    void Build1Click();
    void CreateSFXZip1Click();
    void Exit1Click();
    void ReadMe1Click();
    void About1Click();
    void Undo1Click();
    void Redo1Click();

    void InsertButtonClick();
    void DeleteButtonClick();
    void PutButtonClick();
    void ExecuteButtonClick();
    void RunButtonClick();
    void CopyButtonClick();
    void LinkButtonClick();
    void CleanupButtonClick();
    void QuitButtonClick();
    void UpButtonClick();
    void DownButtonClick();
    void ListView1DblClick();

    // Brings every control up to date with the project.
    void SyncControls();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateMenu();
    QWidget* CreateProjectInfo();
    QWidget* CreateScript();
    QPushButton* AddListButton(const char* object_name, const QString& caption, std::string_view hint);
    void FormCreate();
    void EditChange(ProjectField field, const QString& text);
    void ListSelectionChange();
    // Takes the project's state into the undo history and shows what can be undone and what
    // the command buttons will do.
    void Recorded(std::optional<ProjectField> typing = std::nullopt);
    void ShowEditState();
    // The keys of the list and of undo; true when the key was used.
    bool HandleKey(QObject* watched, const QKeyEvent& key);
    void ShowCaption();
    void FillRecentMenu();
    // Runs a command; a failure is shown in the standard error box and ends the command.
    template <typename Command>
    void Run(Command&& command);

    UiHost& host_;
    EditorProject project_;
    FileCommands files_;
    std::unique_ptr<CommandDialogs> dialogs_;
    ListCommands list_commands_;
    ProjectHistory history_;

    QLineEdit* title_edit_ = nullptr;
    QLineEdit* prompt_edit_ = nullptr;
    QLineEdit* output_edit_ = nullptr;
    QLineEdit* notes_edit_ = nullptr;
    QCheckBox* compress_check_ = nullptr;
    QTreeWidget* list_view1_ = nullptr;
    // The status line's note of the encoding the script was read in.
    QLabel* encoding_label_ = nullptr;
    // The status line's note of what the command buttons do: replace the selected row or add.
    QLabel* list_hint_label_ = nullptr;
    QAction* undo1_ = nullptr;
    QAction* redo1_ = nullptr;
    // The command buttons and their own hints, to which the note above is added.
    std::vector<std::pair<QPushButton*, std::string_view>> command_buttons_;
    bool syncing_ = false;
    QMenu* recent_menu_ = nullptr;
};

}  // namespace kitforge
