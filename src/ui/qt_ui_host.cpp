#include "ui/qt_ui_host.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include "ui/message_box_title.h"
#include "ui/qt_text.h"

namespace kitforge {

namespace {

QMessageBox::Icon IconOf(MessageKind kind) {
    switch (kind) {
        case MessageKind::Information: return QMessageBox::Information;
        case MessageKind::Warning: return QMessageBox::Warning;
        case MessageKind::Error: return QMessageBox::Critical;
        case MessageKind::Confirmation: return QMessageBox::Question;
        case MessageKind::Plain: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok: return QMessageBox::Ok;
        case Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case Buttons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

// "Build Scripts|*.inf|All|*" in Qt's form "Build Scripts (*.inf);;All (*)".
QString NameFilters(const std::string& filter) {
    const QStringList parts = ToQt(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + patterns + QStringLiteral(")");
    }
    return filters.join(QStringLiteral(";;"));
}

void SetUp(QFileDialog& dialog, const FileDialogOptions& options) {
    dialog.setWindowTitle(ToQt(options.title));
    if (!options.filter.empty()) dialog.setNameFilter(NameFilters(options.filter));
    if (!options.default_extension.empty()) dialog.setDefaultSuffix(ToQt(options.default_extension));
    if (!options.initial_folder.empty()) dialog.setDirectory(ToQt(NativeText(options.initial_folder)));
    if (!options.file_name.empty()) dialog.selectFile(ToQt(NativeText(options.file_name)));
}

std::vector<std::string> FromQtList(const QStringList& list) {
    std::vector<std::string> texts;
    for (const QString& text : list) texts.push_back(FromQt(text));
    return texts;
}

QMessageBox::StandardButton StandardButtonOf(Answer answer) {
    switch (answer) {
        case Answer::Ok: return QMessageBox::Ok;
        case Answer::Cancel: return QMessageBox::Cancel;
        case Answer::Yes: return QMessageBox::Yes;
        case Answer::No: return QMessageBox::No;
        case Answer::Retry: return QMessageBox::Retry;
    }
    return QMessageBox::NoButton;
}

}  // namespace

QWidget* QtUiHost::Owner() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

Answer QtUiHost::ShowMessage(MessageKind kind, std::string_view text, std::string_view caption, Buttons buttons,
                             std::optional<Answer> default_button) {
    // Messages keep the CR LF line breaks of their texts; Qt wants plain line feeds.
    QString shown = ToQt(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(IconOf(kind), ToQt(caption), shown, ButtonsOf(buttons), Owner());
    box.setTextFormat(Qt::PlainText);
    const bool with_cancel =
        buttons == Buttons::OkCancel || buttons == Buttons::YesNoCancel || buttons == Buttons::RetryCancel;
    // Closing the box answers Cancel, or No when there is no Cancel.
    box.setEscapeButton(with_cancel                 ? QMessageBox::Cancel
                        : buttons == Buttons::YesNo ? QMessageBox::No
                                                    : QMessageBox::Ok);
    if (default_button) box.setDefaultButton(StandardButtonOf(*default_button));
    WidenForTitle(box);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Ok: return Answer::Ok;
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        case QMessageBox::Retry: return Answer::Retry;
        case QMessageBox::Cancel: return Answer::Cancel;
        default: break;
    }
    return buttons == Buttons::YesNo ? Answer::No : buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
}

std::optional<std::vector<std::string>> QtUiHost::OpenFiles(const FileDialogOptions& options) {
    QFileDialog dialog(Owner());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(options.allow_multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    SetUp(dialog, options);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return FromQtList(dialog.selectedFiles());
}

std::optional<std::string> QtUiHost::SaveFile(const FileDialogOptions& options) {
    QFileDialog dialog(Owner());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The dialog asks before it lets an existing file be chosen: a slip of the mouse on
    // another script would otherwise replace it.
    SetUp(dialog, options);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return FromQt(dialog.selectedFiles().constFirst());
}

std::optional<std::string> QtUiHost::InputBox(std::string_view caption, std::string_view prompt,
                                              std::string_view initial_text) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(Owner(), ToQt(caption), ToQt(prompt), QLineEdit::Normal, ToQt(initial_text), &ok);
    if (!ok) return std::nullopt;
    return FromQt(text);
}

std::optional<std::string> QtUiHost::PickFolder(std::string_view caption, std::string_view initial_folder) {
    const QString folder = QFileDialog::getExistingDirectory(Owner(), ToQt(caption), ToQt(NativeText(initial_folder)),
                                                             QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return std::nullopt;
    return FromQt(folder);
}

void QtUiHost::ProcessMessages() { QCoreApplication::processEvents(); }

void QtUiHost::SetBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace kitforge
