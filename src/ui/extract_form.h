#pragma once
// "Put A File": the source file or files and the target folder of a Put command.

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

public slots:
    void Button1Click();
    void Button2Click();

private:
    UiHost& host_;
    QLineEdit* edit1_;
    QPushButton* button1_;
    QComboBox* combo_box1_;
    QPushButton* button2_;
};

}  // namespace kitforge
