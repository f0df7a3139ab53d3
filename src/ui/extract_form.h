#pragma once
// "Put A File": the source file or files and the target folder of a Put command.

#include <string>

#include "ui/command_form.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace kitforge {

class UiHost;

class TExtractForm : public CommandForm {
    Q_OBJECT

public:
    TExtractForm(UiHost& host, QWidget* parent = nullptr);

    QString SourceFiles() const;
    void SetSourceFiles(const QString& text);
    QString TargetFolder() const;
    void SetTargetFolder(const QString& text);
    // The script the command goes into: sources picked beside it are written from %apppath%.
    void SetScriptFileName(std::string script_file_name) { script_file_name_ = std::move(script_file_name); }

public slots:
    void Button1Click();
    void Button2Click();

private:
    UiHost& host_;
    std::string script_file_name_;
    QLineEdit* edit1_;
    QPushButton* button1_;
    QComboBox* combo_box1_;
    QPushButton* button2_;
};

}  // namespace kitforge
