#include "ui/build_result_form.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/ui_host.h"
#include "ui/editor_font.h"
#include "ui/qt_text.h"
#include "ui/test_install.h"

namespace kitforge {

namespace {

constexpr int kMinimumWidth = 520;
constexpr int kReportHeight = 240;

}  // namespace

TBuildResultForm::TBuildResultForm(UiHost& host, BuiltInstaller built, QWidget* parent)
    : QDialog(parent), host_(host), built_(std::move(built)) {
    setObjectName(QStringLiteral("BuildResultForm"));
    setWindowTitle(ToQt(kApplicationTitle));
    setFont(EditorFont());
    setMinimumWidth(kMinimumWidth);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(ToQt(BuiltInstallerText(built_)), this);
    text->setObjectName(QStringLiteral("InstallerLabel"));
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(text);

    report_ = new QPlainTextEdit(this);
    report_->setObjectName(QStringLiteral("TestInstallReport"));
    report_->setReadOnly(true);
    report_->setMinimumHeight(kReportHeight);
    report_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    report_->hide();
    layout->addWidget(report_, 1);

    auto* buttons = new QDialogButtonBox(this);
    test_button_ = buttons->addButton(QStringLiteral("&Test install"), QDialogButtonBox::ActionRole);
    test_button_->setObjectName(QStringLiteral("TestInstallButton"));
    test_button_->setToolTip(
        QStringLiteral("Run the installer with --silent into a temporary folder, show what it "
                       "installed, then remove the folder"));
    test_button_->setAutoDefault(false);
    close_button_ = buttons->addButton(QDialogButtonBox::Close);
    close_button_->setObjectName(QStringLiteral("CloseButton"));
    close_button_->setDefault(true);
    connect(test_button_, &QPushButton::clicked, this, &TBuildResultForm::TestInstallClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &TBuildResultForm::reject);
    layout->addWidget(buttons);
}

void TBuildResultForm::TestInstallClick() {
    testing_ = true;
    test_button_->setEnabled(false);
    close_button_->setEnabled(false);
    report_->setPlainText(QStringLiteral("Installing into a temporary folder..."));
    report_->show();
    const TestInstallResult result = RunTestInstall(host_, built_.path);
    report_->setPlainText(ToQt(TestInstallReport(result)));
    test_button_->setEnabled(true);
    close_button_->setEnabled(true);
    testing_ = false;
}

void TBuildResultForm::reject() {
    if (!testing_) QDialog::reject();
}

}  // namespace kitforge
