#include "ui/execute_form.h"

#include <QComboBox>
#include <QLabel>

#include "ui/command_dialogs.h"
#include "ui/dialog_browsing.h"
#include "ui/mnemonics.h"
#include "ui/qt_text.h"

namespace kitforge {

TExecuteForm::TExecuteForm(QWidget* parent) : CommandForm(parent, "ExecuteForm", ToQt(kExecuteTexts.caption), 96) {
    label2_ = AddLabel("Label2", QString(), 8, 8);
    combo_box1_ = AddCombo("ComboBox1", 8, 24, 401, FolderMacros());
    AddOkCancel(64);
    label2_->setBuddy(combo_box1_);
    SetLabelText(ToQt(kExecuteTexts.label));
    SetTabOrder({combo_box1_});
}

QString TExecuteForm::CommandLine() const { return combo_box1_->currentText(); }
void TExecuteForm::SetCommandLine(const QString& text) { combo_box1_->setEditText(text); }
void TExecuteForm::SetCaption(const QString& caption) { setWindowTitle(caption); }

void TExecuteForm::SetLabelText(const QString& text) {
    // The label's Alt key is its first letter that OK and Cancel do not use already.
    label2_->setText(WithMnemonic(text, FirstLetterNotIn(text, u"oc")));
    label2_->resize(label2_->sizeHint().width(), label2_->height());
}

}  // namespace kitforge
