#pragma once
// "Copy File": the source file and the target folder of a Copy command.

#include <string>

#include "ui/command_form.h"

class QComboBox;
class QPushButton;

namespace kitforge {

class UiHost;

class TCopyForm : public CommandForm {
    Q_OBJECT

public:
    TCopyForm(UiHost& host, std::string program_folder, QWidget* parent = nullptr);

    QString SourceFile() const;
    void SetSourceFile(const QString& text);
    QString TargetFolder() const;
    void SetTargetFolder(const QString& text);

public slots:
    void Button1Click();
    void Button2Click();

private:
    UiHost& host_;
    std::string program_folder_;
    QComboBox* combo_box2_;
    QPushButton* button1_;
    QComboBox* combo_box1_;
    QPushButton* button2_;
};

}  // namespace kitforge
