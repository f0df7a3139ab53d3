#pragma once
// "Create A Shortcut": where the shortcut goes and what it starts.

#include "ui/command_form.h"

class QComboBox;
class QLineEdit;

namespace kitforge {

class TLinkForm : public CommandForm {
    Q_OBJECT

public:
    explicit TLinkForm(QWidget* parent = nullptr);

    QString ShortcutLocation() const;
    void SetShortcutLocation(const QString& text);
    QString TargetProgram() const;
    void SetTargetProgram(const QString& text);
    QString Arguments() const;
    void SetArguments(const QString& text);

private:
    QComboBox* combo_box2_;
    QComboBox* combo_box1_;
    QLineEdit* edit1_;
};

}  // namespace kitforge
