#include "ui/recent_files_menu.h"

#include <QAction>
#include <QMenu>

#include "ui/qt_text.h"

namespace kitforge {

void FillRecentFilesMenu(QMenu& menu, const std::vector<std::string>& paths,
                         const std::function<void(const std::string&)>& open) {
    menu.clear();
    menu.setEnabled(true);
    if (paths.empty()) {
        menu.addAction(QStringLiteral("(none)"))->setEnabled(false);
        return;
    }
    int number = 0;
    for (const std::string& path : paths) {
        ++number;
        // "&" in a path would otherwise mark a mnemonic.
        QString shown = ToQt(path);
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* action = menu.addAction(QStringLiteral("&%1 ").arg(number) + shown);
        action->setObjectName(QStringLiteral("RecentFile%1").arg(number));
        action->setData(ToQt(path));
        QObject::connect(action, &QAction::triggered, &menu, [open, path] { open(path); });
    }
}

}  // namespace kitforge
