#include "ui/readme_window.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>

#include "model/text_encoding.h"
#include "os/errors.h"
#include "os/file.h"
#include "ui/qt_text.h"

namespace kitforge {

namespace {

constexpr const char* kWindowName = "ReadMeWindow";
// Wide enough for the read-me's 78-column lines; the screen may make it smaller.
constexpr int kColumns = 80;
constexpr int kRows = 32;

std::string ReadWholeFile(const std::string& path) {
    File file = File::OpenRead(path);
    const std::int64_t size = file.Size();
    if (size < 0) throw ReadError("read", path, file.LastError());
    std::string text(static_cast<std::size_t>(size), '\0');
    text.resize(file.Read(text.data(), text.size()));
    if (file.LastError() != 0) throw ReadError("read", path, file.LastError());
    return text;
}

// The text view's size for kColumns by kRows characters, its frame, margins and scroll bar
// included; never more than most of the screen.
QSize FittingSize(const QPlainTextEdit& view) {
    const QFontMetrics metrics(view.font());
    const int extra = 2 * (view.frameWidth() + static_cast<int>(view.document()->documentMargin()));
    QSize size(
        metrics.horizontalAdvance(QLatin1Char('M')) * kColumns + extra + view.verticalScrollBar()->sizeHint().width(),
        metrics.lineSpacing() * kRows + extra);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    }
    return size;
}

}  // namespace

void ShowReadMeWindow(QWidget* parent, const std::string& path) {
    if (auto* shown = parent->findChild<QDialog*>(QString::fromLatin1(kWindowName))) {
        shown->raise();
        shown->activateWindow();
        return;
    }
    const std::string bytes = ReadWholeFile(path);
    const std::string text = IsUtf8Text(bytes) ? bytes : Windows1252ToUtf8(bytes);

    auto* window = new QDialog(parent);
    window->setObjectName(QString::fromLatin1(kWindowName));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("Read Me - ") + ToQt(FileNamePart(path)));
    auto* layout = new QVBoxLayout(window);
    auto* view = new QPlainTextEdit(window);
    view->setObjectName(QStringLiteral("ReadMeText"));
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setPlainText(ToQt(text));
    layout->addWidget(view);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, window);
    QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::close);
    layout->addWidget(buttons);
    const QMargins margins = layout->contentsMargins();
    window->resize(FittingSize(*view) +
                   QSize(margins.left() + margins.right(),
                         margins.top() + margins.bottom() + layout->spacing() + buttons->sizeHint().height()));
    window->show();
}

}  // namespace kitforge
