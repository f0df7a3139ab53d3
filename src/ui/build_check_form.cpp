#include "ui/build_check_form.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/ui_host.h"
#include "ui/editor_build.h"
#include "ui/editor_font.h"
#include "ui/qt_text.h"

namespace kitforge {

namespace {

constexpr int kMinimumWidth = 520;
constexpr int kListHeight = 180;

}  // namespace

TBuildCheckForm::TBuildCheckForm(const std::vector<std::string>& problems, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("BuildCheckForm"));
    setWindowTitle(ToQt(kApplicationTitle));
    setFont(EditorFont());
    setMinimumWidth(kMinimumWidth);
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(ToQt(kBuildCheckIntro), this);
    intro->setObjectName(QStringLiteral("IntroLabel"));
    layout->addWidget(intro);

    auto* list = new QPlainTextEdit(this);
    list->setObjectName(QStringLiteral("ProblemList"));
    list->setReadOnly(true);
    list->setMinimumHeight(kListHeight);
    QString text;
    for (const auto& problem : problems) text += QStringLiteral("\u2022 ") + ToQt(problem) + QStringLiteral("\n\n");
    list->setPlainText(text.trimmed());
    layout->addWidget(list);

    auto* buttons = new QDialogButtonBox(this);
    auto* build = buttons->addButton(QStringLiteral("&Build anyway"), QDialogButtonBox::AcceptRole);
    build->setObjectName(QStringLiteral("BuildAnywayButton"));
    build->setAutoDefault(false);
    auto* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    cancel->setFocus();
}

}  // namespace kitforge
