#include "ui/command_form.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/editor_font.h"
#include "ui/qt_text.h"

namespace kitforge {

namespace {

constexpr int kFieldHeight = 21;
constexpr int kLabelHeight = 13;
constexpr int kBrowseButtonSize = 22;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kOkLeft = 256;
constexpr int kCancelLeft = 336;

}  // namespace

CommandForm::CommandForm(QWidget* parent, const char* object_name, const QString& caption, int client_height)
    : QDialog(parent) {
    setObjectName(QString::fromLatin1(object_name));
    setWindowTitle(caption);
    setFont(EditorFont());
    setFixedSize(kClientWidth, client_height);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
}

QLabel* CommandForm::AddLabel(const char* object_name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(object_name));
    label->setGeometry(left, top, label->sizeHint().width(), kLabelHeight);
    return label;
}

void CommandForm::SetBuddy(QLabel* label, QWidget* buddy) {
    label->setBuddy(buddy);
    label->resize(label->sizeHint().width(), label->height());
}

QLineEdit* CommandForm::AddEdit(const char* object_name, int left, int top, int width) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(object_name));
    edit->setGeometry(left, top, width, kFieldHeight);
    return edit;
}

QComboBox* CommandForm::AddCombo(const char* object_name, int left, int top, int width,
                                 std::span<const std::string_view> items) {
    auto* combo = new QComboBox(this);
    combo->setObjectName(QString::fromLatin1(object_name));
    combo->setEditable(true);
    // Enter answers the dialog instead of adding the typed text to the list.
    combo->setInsertPolicy(QComboBox::NoInsert);
    // Completing typed text from the items would turn "%s" into "%system%" as the author
    // types a path of their own; what is typed is what is meant.
    combo->setCompleter(nullptr);
    for (const auto item : items) combo->addItem(ToQt(item));
    combo->setMaxVisibleItems(12);
    combo->setCurrentIndex(-1);
    combo->setEditText(QString());
    combo->setGeometry(left, top, width, kFieldHeight);
    return combo;
}

QPushButton* CommandForm::AddBrowseButton(const char* object_name, int left, int top) {
    auto* button = new QPushButton(QStringLiteral("..."), this);
    button->setObjectName(QString::fromLatin1(object_name));
    button->setAutoDefault(false);
    button->setGeometry(left, top, kBrowseButtonSize, kBrowseButtonSize);
    return button;
}

void CommandForm::AddOkCancel(int top) {
    ok_button_ = new QPushButton(QStringLiteral("&OK"), this);
    ok_button_->setObjectName(QStringLiteral("OKButton"));
    ok_button_->setDefault(true);
    ok_button_->setGeometry(kOkLeft, top, kButtonWidth, kButtonHeight);
    connect(ok_button_, &QPushButton::clicked, this, &QDialog::accept);
    cancel_button_ = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel_button_->setObjectName(QStringLiteral("CancelButton"));
    cancel_button_->setAutoDefault(false);
    cancel_button_->setGeometry(kCancelLeft, top, kButtonWidth, kButtonHeight);
    connect(cancel_button_, &QPushButton::clicked, this, &QDialog::reject);
}

void CommandForm::SetTabOrder(std::initializer_list<QWidget*> widgets) {
    QWidget* previous = nullptr;
    for (QWidget* widget : widgets) {
        if (previous) setTabOrder(previous, widget);
        previous = widget;
    }
    setTabOrder(previous, ok_button_);
    setTabOrder(ok_button_, cancel_button_);
    if (widgets.size() > 0) (*widgets.begin())->setFocus();
}

}  // namespace kitforge
