#pragma once
// Qt in the UI tests: one QApplication for the whole test program (offscreen), and a way to
// answer a modal dialog that a command is about to open.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

namespace kitforge::testing {

// The child control of that object name; a missing one fails the test, naming it.
template <typename Widget = QWidget>
Widget* Child(QWidget& parent, const char* name) {
    auto* widget = parent.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// Waits for the next modal dialog of type Dialog and hands it to `answer`, which fills it and
// closes it. The wait ends with the object: a command that never opened the dialog leaves no
// timer behind, and Answered() says whether it came.
template <typename Dialog>
class DialogAnswer {
public:
    explicit DialogAnswer(std::function<void(Dialog&)> answer) : timer_(std::make_unique<QTimer>()) {
        timer_->setInterval(5);
        QObject::connect(timer_.get(), &QTimer::timeout, [this, answer = std::move(answer)] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible()) return;
            timer_->stop();
            answered_ = true;
            answer(*dialog);
            // A dialog the answer left open is cancelled, so the command can end.
            if (dialog->isVisible()) dialog->reject();
        });
        timer_->start();
    }

    bool Answered() const { return answered_; }

private:
    std::unique_ptr<QTimer> timer_;
    bool answered_ = false;
};

}  // namespace kitforge::testing
