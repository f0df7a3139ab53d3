#include "ui/link_form.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "ui/dialog_browsing.h"

namespace kitforge {

TLinkForm::TLinkForm(QWidget* parent) : CommandForm(parent, "LinkForm", QStringLiteral("Create A Shortcut"), 185) {
    // The doubled ampersand shows as one: a single one marks the Alt key.
    auto* location_label = AddLabel("Label1", QStringLiteral("&Shortcut Location && Name"), 8, 8);
    combo_box2_ = AddCombo("ComboBox2", 8, 24, 401, SpecialFolderTokens());
    auto* program_label = AddLabel("Label2", QStringLiteral("&Target Program"), 8, 56);
    combo_box1_ = AddCombo("ComboBox1", 8, 72, 401, FolderMacros());
    auto* arguments_label = AddLabel("Label3", QStringLiteral("Command Line &Arguments"), 8, 104);
    edit1_ = AddEdit("Edit1", 8, 120, 401);
    AddOkCancel(152);
    SetBuddy(location_label, combo_box2_);
    SetBuddy(program_label, combo_box1_);
    SetBuddy(arguments_label, edit1_);
    SetTabOrder({combo_box2_, combo_box1_, edit1_});
}

QString TLinkForm::ShortcutLocation() const { return combo_box2_->currentText(); }
void TLinkForm::SetShortcutLocation(const QString& text) { combo_box2_->setEditText(text); }
QString TLinkForm::TargetProgram() const { return combo_box1_->currentText(); }
void TLinkForm::SetTargetProgram(const QString& text) { combo_box1_->setEditText(text); }
QString TLinkForm::Arguments() const { return edit1_->text(); }
void TLinkForm::SetArguments(const QString& text) { edit1_->setText(text); }

}  // namespace kitforge
