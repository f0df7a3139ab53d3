#include "ui/kitforge_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScreen>
#include <QStatusBar>
#include <QSignalBlocker>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "model/command_kinds.h"
#include "platform/ui_host.h"
#include "ui/editor_font.h"
#include "ui/editor_keys.h"
#include "ui/mnemonics.h"
#include "ui/proportional_columns.h"
#include "ui/qt_build_dialogs.h"
#include "ui/qt_command_dialogs.h"
#include "ui/qt_text.h"
#include "ui/readme_window.h"
#include "ui/recent_files_menu.h"
#include "ui/script_drop.h"
#include "ui/shrinking_layouts.h"
#include "ui/window_placement.h"

namespace kitforge {

namespace {

constexpr int kButtonWidth = 75;
// Eleven rows of buttons must fit beside the list in the window's opening height.
constexpr int kButtonHeight = 21;
// The list's columns at the designed width; they keep these proportions as the window resizes.
constexpr std::array<int, 3> kColumnWidths = {60, 240, 200};

void SetTextIfDifferent(QLineEdit* edit, const std::string& text) {
    const QString value = ToQt(text);
    if (edit->text() != value) edit->setText(value);
}

}  // namespace

TKitforgeForm::TKitforgeForm(UiHost& host, EditorEnvironment environment, QWidget* parent)
    : QMainWindow(parent),
      host_(host),
      files_(project_, host, WithQtBuildDialogs(std::move(environment), host, this)),
      dialogs_(std::make_unique<QtCommandDialogs>(host, files_.Environment().program_folder, this,
                                                  [this] { return project_.ScriptFileName(); })),
      list_commands_(project_, *dialogs_) {
    setObjectName(QStringLiteral("KitforgeForm"));
    setFont(EditorFont());
    CreateMenu();
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(2);
    layout->addWidget(CreateProjectInfo());
    layout->addWidget(CreateScript(), 1);
    setCentralWidget(ScrollWhenShort(central));
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    encoding_label_ = new QLabel(this);
    encoding_label_->setObjectName(QStringLiteral("EncodingLabel"));
    statusBar()->addPermanentWidget(encoding_label_);
    list_hint_label_ = new QLabel(this);
    list_hint_label_->setObjectName(QStringLiteral("ListHintLabel"));
    statusBar()->addWidget(list_hint_label_, 1);

    setTabOrder(title_edit_, prompt_edit_);
    setTabOrder(prompt_edit_, output_edit_);
    setTabOrder(output_edit_, notes_edit_);
    setTabOrder(notes_edit_, compress_check_);
    setTabOrder(compress_check_, list_view1_);
    QWidget* previous = list_view1_;
    for (const char* name : {"InsertButton", "DeleteButton", "PutButton", "ExecuteButton", "RunButton", "CopyButton",
                             "LinkButton", "CleanupButton", "QuitButton", "UpButton", "DownButton"}) {
        QWidget* button = findChild<QWidget*>(QString::fromLatin1(name));
        setTabOrder(previous, button);
        previous = button;
    }

    PlaceOnScreen(*this, QSize(kWidth, kHeight));
    FormCreate();
    // The "*" of unsaved changes follows every keystroke, not only the commands.
    for (QLineEdit* edit : {title_edit_, prompt_edit_, output_edit_, notes_edit_}) {
        connect(edit, &QLineEdit::textChanged, this, &TKitforgeForm::ShowCaption);
    }
    connect(compress_check_, &QCheckBox::toggled, this, &TKitforgeForm::ShowCaption);
    files_.SetShowProject([this] { SyncControls(); });
    new ScriptDropCatcher(*this, [this](const std::string& path) { OpenFile(path); });
}

TKitforgeForm::~TKitforgeForm() = default;

void TKitforgeForm::CreateMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    const auto add = [this](QMenu* menu, const char* name, const QString& text, const QKeySequence& key,
                            void (TKitforgeForm::*handler)()) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty()) action->setShortcut(key);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    add(file, "New1", QStringLiteral("&New"), QKeySequence(Qt::CTRL | Qt::Key_N), &TKitforgeForm::New1Click);
    add(file, "Open1", QStringLiteral("&Open"), QKeySequence(Qt::CTRL | Qt::Key_O), &TKitforgeForm::Open1Click);
    recent_menu_ = file->addMenu(QStringLiteral("Open &Recent"));
    recent_menu_->setObjectName(QStringLiteral("OpenRecent1"));
    connect(file, &QMenu::aboutToShow, this, &TKitforgeForm::FillRecentMenu);
    add(file, "Save1", QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S), &TKitforgeForm::Save1Click);
    add(file, "SaveAs1", QStringLiteral("Save &As..."), {}, &TKitforgeForm::SaveAs1Click);
    add(file, "Build1", QStringLiteral("&Build"), QKeySequence(Qt::CTRL | Qt::Key_B), &TKitforgeForm::Build1Click);
    add(file, "CreateSFXZip1", QStringLiteral("Create S&FX Zip"), {}, &TKitforgeForm::CreateSFXZip1Click);
    file->addSeparator()->setObjectName(QStringLiteral("N1"));
    add(file, "Exit1", QStringLiteral("E&xit"), QKeySequence(Qt::CTRL | Qt::Key_X), &TKitforgeForm::Exit1Click);
    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("Edit1"));
    undo1_ =
        add(edit, "Undo1", QStringLiteral("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), &TKitforgeForm::Undo1Click);
    redo1_ = add(edit, "Redo1", QStringLiteral("&Redo"), {}, &TKitforgeForm::Redo1Click);
    redo1_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    add(help, "ReadMe1", QStringLiteral("&Read Me"), {}, &TKitforgeForm::ReadMe1Click);
    add(help, "About1", QStringLiteral("&About"), {}, &TKitforgeForm::About1Click);
}

QWidget* TKitforgeForm::CreateProjectInfo() {
    auto* group = new ScrollingGroupBox(QStringLiteral("Project Info"), kProjectInfoHeight);
    group->setObjectName(QStringLiteral("ProjectInfoGroup"));
    auto* fields = new QWidget;
    auto* layout = new QVBoxLayout(fields);
    layout->setSpacing(1);
    const auto add_field = [this, group, layout](const char* label_name, const QString& caption, const char* edit_name,
                                                 ProjectField field) {
        auto* label = new QLabel(caption, group);
        label->setObjectName(QString::fromLatin1(label_name));
        auto* edit = new QLineEdit(group);
        edit->setObjectName(QString::fromLatin1(edit_name));
        label->setBuddy(edit);
        edit->installEventFilter(this);
        layout->addWidget(label);
        layout->addWidget(edit);
        layout->addSpacing(2);
        connect(edit, &QLineEdit::textChanged, this, [this, field](const QString& text) { EditChange(field, text); });
        return edit;
    };
    title_edit_ = add_field("TitleLabel", QStringLiteral("&Title"), "TitleEdit", ProjectField::Title);
    prompt_edit_ = add_field("PromptLabel", QStringLiteral("&Prompt"), "PromptEdit", ProjectField::Prompt);
    output_edit_ = add_field("OutputLabel", QStringLiteral("&Output File"), "OutputEdit", ProjectField::Output);
    notes_edit_ = add_field("NotesLabel", QStringLiteral("&Notes"), "NotesEdit", ProjectField::Notes);
    compress_check_ = new QCheckBox(QStringLiteral("Use co&mpression"), group);
    compress_check_->setObjectName(QStringLiteral("CompressCheck"));
    layout->addWidget(compress_check_, 0, Qt::AlignLeft);
    layout->addStretch(1);
    LetSpacingShrink(*layout);
    group->SetFields(fields);
    connect(compress_check_, &QCheckBox::toggled, this, [this](bool checked) {
        if (syncing_) return;
        project_.SetCompressed(checked);
        Recorded();
    });
    return group;
}

QPushButton* TKitforgeForm::AddListButton(const char* object_name, const QString& caption, std::string_view hint) {
    auto* button = new QPushButton(caption);
    button->setObjectName(QString::fromLatin1(object_name));
    button->setToolTip(ToQt(hint));
    button->setFixedSize(kButtonWidth, kButtonHeight);
    button->setAutoDefault(false);
    return button;
}

QWidget* TKitforgeForm::CreateScript() {
    auto* group = new QGroupBox(QStringLiteral("Script"));
    group->setObjectName(QStringLiteral("ScriptGroup"));
    auto* layout = new QHBoxLayout(group);
    layout->setContentsMargins(6, 4, 6, 6);

    list_view1_ = new QTreeWidget(group);
    list_view1_->setObjectName(QStringLiteral("ListView1"));
    list_view1_->setHeaderLabels(
        {QStringLiteral("Action"), QStringLiteral("Parameter 1"), QStringLiteral("Parameter 2")});
    new ProportionalColumns(*list_view1_, {kColumnWidths.begin(), kColumnWidths.end()});
    list_view1_->setRootIsDecorated(false);
    list_view1_->setItemsExpandable(false);
    list_view1_->setUniformRowHeights(true);
    list_view1_->setAllColumnsShowFocus(true);
    list_view1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_view1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_view1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selected row stays visible while another control has the focus.
    QPalette palette = list_view1_->palette();
    palette.setBrush(QPalette::Inactive, QPalette::Highlight, palette.brush(QPalette::Active, QPalette::Highlight));
    palette.setBrush(QPalette::Inactive, QPalette::HighlightedText,
                     palette.brush(QPalette::Active, QPalette::HighlightedText));
    list_view1_->setPalette(palette);
    list_view1_->viewport()->installEventFilter(this);
    list_view1_->installEventFilter(this);
    connect(list_view1_, &QTreeWidget::itemSelectionChanged, this, &TKitforgeForm::ListSelectionChange);
    connect(list_view1_, &QTreeWidget::itemDoubleClicked, this, &TKitforgeForm::ListView1DblClick);
    layout->addWidget(list_view1_, 1);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    const auto add = [this, buttons](const char* name, const QString& caption, std::string_view hint,
                                     void (TKitforgeForm::*handler)()) {
        QPushButton* button = AddListButton(name, caption, hint);
        connect(button, &QPushButton::clicked, this, handler);
        buttons->addWidget(button);
        return button;
    };
    add("InsertButton", QStringLiteral("&Insert"), "Insert a command", &TKitforgeForm::InsertButtonClick);
    add("DeleteButton", QStringLiteral("&Delete"), "Delete selected command", &TKitforgeForm::DeleteButtonClick);
    auto* separator = new QFrame;
    separator->setObjectName(QStringLiteral("Bevel1"));
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setFixedWidth(kButtonWidth);
    buttons->addWidget(separator);
    const std::array<std::pair<CommandKind, void (TKitforgeForm::*)()>, 7> commands = {{
        {CommandKind::Put, &TKitforgeForm::PutButtonClick},
        {CommandKind::Execute, &TKitforgeForm::ExecuteButtonClick},
        {CommandKind::Run, &TKitforgeForm::RunButtonClick},
        {CommandKind::Copy, &TKitforgeForm::CopyButtonClick},
        {CommandKind::Shortcut, &TKitforgeForm::LinkButtonClick},
        {CommandKind::CleanUp, &TKitforgeForm::CleanupButtonClick},
        {CommandKind::Quit, &TKitforgeForm::QuitButtonClick},
    }};
    const std::array<const char*, 7> names = {"PutButton",  "ExecuteButton", "RunButton", "CopyButton",
                                              "LinkButton", "CleanupButton", "QuitButton"};
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const auto [kind, handler] = commands[i];
        const std::string_view hint = FindCommandKind(kind)->hint;
        command_buttons_.emplace_back(add(names[i], CommandButtonCaption(kind), hint, handler), hint);
    }
    buttons->addStretch(1);

    auto* arrows = new QHBoxLayout;
    arrows->setSpacing(3);
    const auto add_arrow = [this, arrows](const char* name, Qt::ArrowType arrow, const QString& hint,
                                          void (TKitforgeForm::*handler)()) {
        auto* button = new QToolButton;
        button->setObjectName(QString::fromLatin1(name));
        button->setArrowType(arrow);
        button->setToolTip(hint);
        // Tab reaches them; a click leaves the focus in the list, where Ctrl+Up and Ctrl+Down
        // move the row as well.
        button->setFocusPolicy(Qt::TabFocus);
        button->setFixedSize((kButtonWidth - 3) / 2, kButtonHeight);
        connect(button, &QToolButton::clicked, this, handler);
        arrows->addWidget(button);
    };
    add_arrow("UpButton", Qt::UpArrow, QStringLiteral("Shuffle command up the script"), &TKitforgeForm::UpButtonClick);
    add_arrow("DownButton", Qt::DownArrow, QStringLiteral("Shuffle a command down the script"),
              &TKitforgeForm::DownButtonClick);
    buttons->addLayout(arrows);
    LetSpacingShrink(*buttons);
    layout->addLayout(buttons);
    return group;
}

template <typename Command>
void TKitforgeForm::Run(Command&& command) {
    std::string failure;
    try {
        command();
    } catch (const std::exception& e) {
        failure = e.what();
    }
    SyncControls();
    if (!failure.empty()) host_.ShowMessage(MessageKind::Error, failure, kApplicationTitle, Buttons::Ok);
}

void TKitforgeForm::FormCreate() {
    Run([this] { files_.StartUp(); });
}

void TKitforgeForm::EditChange(ProjectField field, const QString& text) {
    if (syncing_) return;
    project_.SetField(field, FromQt(text));
    Recorded(field);
}

void TKitforgeForm::ListSelectionChange() {
    if (syncing_) return;
    std::vector<std::size_t> rows;
    for (QTreeWidgetItem* item : list_view1_->selectedItems()) {
        rows.push_back(static_cast<std::size_t>(list_view1_->indexOfTopLevelItem(item)));
    }
    project_.Rows().SelectRows(std::move(rows));
    Recorded();
}

void TKitforgeForm::Recorded(std::optional<ProjectField> typing) {
    history_.Record(project_, typing);
    ShowEditState();
}

void TKitforgeForm::ShowEditState() {
    undo1_->setEnabled(history_.CanUndo());
    redo1_->setEnabled(history_.CanRedo());
    const QString target = ToQt(list_commands_.CommandButtonTarget());
    for (const auto& [button, hint] : command_buttons_) button->setToolTip(ToQt(hint) + u'\n' + target);
    list_hint_label_->setText(target);
}

void TKitforgeForm::SyncControls() {
    syncing_ = true;
    SetTextIfDifferent(title_edit_, project_.Field(ProjectField::Title));
    SetTextIfDifferent(prompt_edit_, project_.Field(ProjectField::Prompt));
    SetTextIfDifferent(output_edit_, project_.Field(ProjectField::Output));
    SetTextIfDifferent(notes_edit_, project_.Field(ProjectField::Notes));
    compress_check_->setChecked(project_.Compressed());

    const ScriptRows& rows = project_.Rows();
    while (static_cast<std::size_t>(list_view1_->topLevelItemCount()) > rows.Count()) {
        delete list_view1_->takeTopLevelItem(list_view1_->topLevelItemCount() - 1);
    }
    while (static_cast<std::size_t>(list_view1_->topLevelItemCount()) < rows.Count()) {
        list_view1_->addTopLevelItem(new QTreeWidgetItem);
    }
    for (std::size_t i = 0; i < rows.Count(); ++i) {
        QTreeWidgetItem* item = list_view1_->topLevelItem(static_cast<int>(i));
        const ScriptCommand& command = rows.At(i);
        item->setText(0, ToQt(CommandCaption(command.Action)));
        item->setText(1, ToQt(command.Parameter1));
        item->setText(2, ToQt(command.Parameter2));
    }
    list_view1_->clearSelection();
    for (const std::size_t row : rows.SelectedRows()) {
        list_view1_->topLevelItem(static_cast<int>(row))->setSelected(true);
    }
    if (const auto selected = rows.Selected()) {
        QTreeWidgetItem* item = list_view1_->topLevelItem(static_cast<int>(*selected));
        list_view1_->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
        list_view1_->scrollToItem(item);
    }
    ShowCaption();
    encoding_label_->setText(QStringLiteral("Encoding: ") + ToQt(TextEncodingName(project_.Encoding())));
    Recorded();
    syncing_ = false;
}

void TKitforgeForm::New1Click() {
    Run([this] { files_.New(); });
}
void TKitforgeForm::Open1Click() {
    Run([this] { files_.OpenScript(); });
}
void TKitforgeForm::Save1Click() {
    Run([this] { files_.Save(); });
}
void TKitforgeForm::SaveAs1Click() {
    Run([this] { files_.SaveAs(); });
}
void TKitforgeForm::Build1Click() {
    Run([this] { files_.Build(); });
}
// Making a self-extracting zip of chosen files is not part of this window's commands yet.
void TKitforgeForm::CreateSFXZip1Click() {
    Run([this] { files_.CreateSFXZip(); });
}
void TKitforgeForm::Exit1Click() { close(); }
void TKitforgeForm::ReadMe1Click() {
    Run([this] {
        if (!files_.ReadMe()) ShowReadMeWindow(this, files_.ReadMePath());
    });
}
void TKitforgeForm::About1Click() {
    Run([this] { files_.About(); });
}
void TKitforgeForm::Undo1Click() {
    Run([this] { history_.Undo(project_); });
}
void TKitforgeForm::Redo1Click() {
    Run([this] { history_.Redo(project_); });
}

void TKitforgeForm::InsertButtonClick() {
    Run([this] { list_commands_.Insert(); });
}
void TKitforgeForm::DeleteButtonClick() {
    Run([this] { list_commands_.Delete(); });
}
void TKitforgeForm::PutButtonClick() {
    Run([this] { list_commands_.CommandButton(CommandKind::Put); });
}
void TKitforgeForm::ExecuteButtonClick() {
    Run([this] { list_commands_.CommandButton(CommandKind::Execute); });
}
void TKitforgeForm::RunButtonClick() {
    Run([this] { list_commands_.CommandButton(CommandKind::Run); });
}
void TKitforgeForm::CopyButtonClick() {
    Run([this] { list_commands_.CommandButton(CommandKind::Copy); });
}
void TKitforgeForm::LinkButtonClick() {
    Run([this] { list_commands_.CommandButton(CommandKind::Shortcut); });
}
void TKitforgeForm::CleanupButtonClick() {
    Run([this] { list_commands_.CommandButton(CommandKind::CleanUp); });
}
void TKitforgeForm::QuitButtonClick() {
    Run([this] { list_commands_.CommandButton(CommandKind::Quit); });
}
void TKitforgeForm::UpButtonClick() {
    Run([this] { list_commands_.Up(); });
}
void TKitforgeForm::DownButtonClick() {
    Run([this] { list_commands_.Down(); });
}
void TKitforgeForm::ListView1DblClick() {
    Run([this] { list_commands_.DoubleClick(); });
}

void TKitforgeForm::closeEvent(QCloseEvent* event) {
    bool may_close = false;
    Run([this, &may_close] { may_close = files_.CloseRequested(); });
    if (may_close) {
        event->accept();
    } else {
        event->ignore();
    }
}

void TKitforgeForm::ShowCaption() { setWindowTitle(ToQt(project_.WindowCaption())); }

void TKitforgeForm::FillRecentMenu() {
    FillRecentFilesMenu(*recent_menu_, files_.Recent().Paths(),
                        [this](const std::string& path) { Run([this, &path] { files_.OpenRecent(path); }); });
}

void TKitforgeForm::OpenFile(const std::string& path) {
    Run([this, &path] { files_.OpenPath(path); });
}

bool TKitforgeForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && HandleKey(watched, *static_cast<QKeyEvent*>(event))) return true;
    // A click below the last row clears the selection, so the command buttons append again.
    if (event->type() == QEvent::MouseButtonPress && watched == list_view1_->viewport()) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (list_view1_->itemAt(mouse->position().toPoint()) == nullptr) list_view1_->clearSelection();
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TKitforgeForm::HandleKey(QObject* watched, const QKeyEvent& key) {
    if (watched == list_view1_) {
        switch (ListKeyFor(key)) {
            case ListKey::DeleteRows: DeleteButtonClick(); return true;
            case ListKey::EditRow: ListView1DblClick(); return true;
            case ListKey::MoveUp: UpButtonClick(); return true;
            case ListKey::MoveDown: DownButtonClick(); return true;
            case ListKey::None: break;
        }
    }
    switch (UndoKeyFor(key)) {
        case UndoKey::Undo: Undo1Click(); return true;
        case UndoKey::Redo: Redo1Click(); return true;
        case UndoKey::None: break;
    }
    return false;
}

}  // namespace kitforge
