#pragma once
// "Execute": the command line of an Execute command; the main window gives it other texts
// for Run and Clean Up.

#include "ui/command_form.h"

class QComboBox;
class QLabel;

namespace kitforge {

class TExecuteForm : public CommandForm {
    Q_OBJECT

public:
    explicit TExecuteForm(QWidget* parent = nullptr);

    QString CommandLine() const;
    void SetCommandLine(const QString& text);
    // The caption of the dialog and the text of the label above the command line.
    void SetCaption(const QString& caption);
    void SetLabelText(const QString& text);

private:
    QLabel* label2_;
    QComboBox* combo_box1_;
};

}  // namespace kitforge
