#include "ui/script_drop.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include "ui/qt_text.h"

namespace kitforge {

std::optional<std::string> DroppedScript(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return std::nullopt;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && url.toLocalFile().endsWith(QStringLiteral(".inf"), Qt::CaseInsensitive)) {
            return FromQt(url.toLocalFile());
        }
    }
    return std::nullopt;
}

ScriptDropCatcher::ScriptDropCatcher(QWidget& window, std::function<void(const std::string&)> open)
    : QObject(&window), open_(std::move(open)) {
    window.setAcceptDrops(true);
    window.installEventFilter(this);
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (control->acceptDrops()) control->installEventFilter(this);
    }
}

bool ScriptDropCatcher::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
        return QObject::eventFilter(watched, event);
    }
    auto* drop = static_cast<QDropEvent*>(event);
    const auto script = DroppedScript(drop->mimeData());
    if (!script) return QObject::eventFilter(watched, event);
    drop->acceptProposedAction();
    // The questions Open may ask wait until the drag has ended, so the file manager it came
    // from is not left waiting.
    if (type == QEvent::Drop) QTimer::singleShot(0, this, [this, path = *script] { open_(path); });
    return true;
}

}  // namespace kitforge
