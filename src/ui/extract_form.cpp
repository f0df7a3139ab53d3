#include "ui/extract_form.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/dialog_browsing.h"
#include "ui/qt_text.h"

namespace kitforge {

TExtractForm::TExtractForm(UiHost& host, QWidget* parent)
    : CommandForm(parent, "ExtractForm", QStringLiteral("Put A File"), 146), host_(host) {
    auto* source_label = AddLabel("Label1", QStringLiteral("&Source File"), 8, 8);
    edit1_ = AddEdit("Edit1", 8, 24, 376);
    button1_ = AddBrowseButton("Button1", 388, 24);
    auto* target_label = AddLabel("Label2", QStringLiteral("&Target Folder"), 8, 56);
    combo_box1_ = AddCombo("ComboBox1", 8, 72, 377, FolderMacros());
    button2_ = AddBrowseButton("Button2", 388, 72);
    AddOkCancel(112);
    SetBuddy(source_label, edit1_);
    SetBuddy(target_label, combo_box1_);
    SetTabOrder({edit1_, button1_, combo_box1_, button2_});
    connect(button1_, &QPushButton::clicked, this, &TExtractForm::Button1Click);
    connect(button2_, &QPushButton::clicked, this, &TExtractForm::Button2Click);
}

QString TExtractForm::SourceFiles() const { return edit1_->text(); }
void TExtractForm::SetSourceFiles(const QString& text) { edit1_->setText(text); }
QString TExtractForm::TargetFolder() const { return combo_box1_->currentText(); }
void TExtractForm::SetTargetFolder(const QString& text) { combo_box1_->setEditText(text); }

void TExtractForm::Button1Click() {
    if (const auto chosen = BrowsePutSources(host_, FromQt(SourceFiles()), script_file_name_)) {
        SetSourceFiles(ToQt(*chosen));
    }
}

void TExtractForm::Button2Click() {
    if (const auto chosen = BrowseTargetFolder(host_, FromQt(TargetFolder()))) SetTargetFolder(ToQt(*chosen));
}

}  // namespace kitforge
