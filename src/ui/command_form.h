#pragma once
// What the four command dialogs share: a fixed client area 419 pixels wide, the editor's
// font, controls placed at fixed positions, and OK (the default button) and Cancel at the
// bottom right. A dialog is made for one use, so every field starts empty. Every label and
// button but the "..." ones carries an Alt key; O and C belong to OK and Cancel.

#include <QDialog>
#include <initializer_list>
#include <span>
#include <string_view>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kitforge {

class CommandForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 419;

protected:
    CommandForm(QWidget* parent, const char* object_name, const QString& caption, int client_height);

    // A label at its natural width, 13 pixels high; `text` marks its Alt key with "&".
    QLabel* AddLabel(const char* object_name, const QString& text, int left, int top);
    // The field that the label's Alt key reaches. The label takes its width anew, now that it
    // draws its "&" as an underline.
    static void SetBuddy(QLabel* label, QWidget* buddy);
    QLineEdit* AddEdit(const char* object_name, int left, int top, int width);
    // An editable combo box offering `items`; typed text is taken as it stands, never
    // completed from the items.
    QComboBox* AddCombo(const char* object_name, int left, int top, int width, std::span<const std::string_view> items);
    QPushButton* AddBrowseButton(const char* object_name, int left, int top);
    // OK at 256 and Cancel at 336 from the left, at `top`.
    void AddOkCancel(int top);
    // The keyboard order: the widgets given, then OK and Cancel.
    void SetTabOrder(std::initializer_list<QWidget*> widgets);

    QPushButton* ok_button_ = nullptr;
    QPushButton* cancel_button_ = nullptr;
};

}  // namespace kitforge
