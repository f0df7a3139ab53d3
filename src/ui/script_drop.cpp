#include "ui/script_drop.h"

#include <QMimeData>
#include <QUrl>

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

}  // namespace kitforge
