#pragma once
// The window after a successful build: where the installer is and its size, "Test install",
// which runs it into a temporary folder and shows what it installed below, and "Close".

#include <QDialog>

#include "ui/editor_build.h"

class QPlainTextEdit;
class QPushButton;

namespace kitforge {

class UiHost;

class TBuildResultForm : public QDialog {
    Q_OBJECT

public:
    TBuildResultForm(UiHost& host, BuiltInstaller built, QWidget* parent = nullptr);

public slots:
    void TestInstallClick();
    // Not while the test install runs: the window would go, its result with it.
    void reject() override;

private:
    UiHost& host_;
    BuiltInstaller built_;
    QPushButton* test_button_;
    QPushButton* close_button_;
    QPlainTextEdit* report_;
    bool testing_ = false;
};

}  // namespace kitforge
