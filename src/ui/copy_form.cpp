#include "ui/copy_form.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "ui/dialog_browsing.h"
#include "ui/qt_text.h"

namespace kitforge {

TCopyForm::TCopyForm(UiHost& host, std::string program_folder, QWidget* parent)
    : CommandForm(parent, "CopyForm", QStringLiteral("Copy File"), 146),
      host_(host),
      program_folder_(std::move(program_folder)) {
    auto* source_label = AddLabel("Label1", QStringLiteral("&Source File"), 8, 8);
    combo_box2_ = AddCombo("ComboBox2", 8, 24, 377, FolderMacros());
    button1_ = AddBrowseButton("Button1", 388, 24);
    auto* target_label = AddLabel("Label2", QStringLiteral("&Target Folder"), 8, 56);
    combo_box1_ = AddCombo("ComboBox1", 8, 72, 377, FolderMacros());
    button2_ = AddBrowseButton("Button2", 388, 72);
    AddOkCancel(112);
    SetBuddy(source_label, combo_box2_);
    SetBuddy(target_label, combo_box1_);
    SetTabOrder({combo_box2_, button1_, combo_box1_, button2_});
    connect(button1_, &QPushButton::clicked, this, &TCopyForm::Button1Click);
    connect(button2_, &QPushButton::clicked, this, &TCopyForm::Button2Click);
}

QString TCopyForm::SourceFile() const { return combo_box2_->currentText(); }
void TCopyForm::SetSourceFile(const QString& text) { combo_box2_->setEditText(text); }
QString TCopyForm::TargetFolder() const { return combo_box1_->currentText(); }
void TCopyForm::SetTargetFolder(const QString& text) { combo_box1_->setEditText(text); }

void TCopyForm::Button1Click() {
    if (const auto chosen = BrowseCopySource(host_, FromQt(SourceFile()), program_folder_)) {
        SetSourceFile(ToQt(*chosen));
    }
}

void TCopyForm::Button2Click() {
    if (const auto chosen = BrowseTargetFolder(host_, FromQt(TargetFolder()))) SetTargetFolder(ToQt(*chosen));
}

}  // namespace kitforge
