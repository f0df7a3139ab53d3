#pragma once
// A build script dragged onto the main window from a file manager. The window and every
// control on it take the drop, text fields included, which would otherwise insert the file's
// address as text into the project.

#include <QObject>
#include <functional>
#include <optional>
#include <string>

class QMimeData;
class QWidget;

namespace kitforge {

// The first local file ending in ".inf" (any letter case) among the dropped ones, if any.
std::optional<std::string> DroppedScript(const QMimeData* data);

class ScriptDropCatcher : public QObject {
public:
    // Watches `window` and its controls; `open` gets the script's path once the drop is over.
    ScriptDropCatcher(QWidget& window, std::function<void(const std::string&)> open);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(const std::string&)> open_;
};

}  // namespace kitforge
