#include "ui/recent_files_store.h"

#include <QSettings>
#include <QStringList>
#include <memory>

#include "ui/qt_text.h"

namespace kitforge {

namespace {

constexpr const char* kKey = "RecentFiles";

std::unique_ptr<QSettings> OpenSettings(const QString& ini_file) {
    if (ini_file.isEmpty()) {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kitforge"),
                                           QStringLiteral("Kitforge"));
    }
    return std::make_unique<QSettings>(ini_file, QSettings::IniFormat);
}

}  // namespace

RecentFilesStore SettingsRecentFilesStore(const QString& ini_file) {
    RecentFilesStore store;
    store.load = [ini_file] {
        std::vector<std::string> paths;
        for (const QString& path : OpenSettings(ini_file)->value(QString::fromLatin1(kKey)).toStringList()) {
            paths.push_back(FromQt(path));
        }
        return paths;
    };
    store.save = [ini_file](const std::vector<std::string>& paths) {
        QStringList list;
        for (const std::string& path : paths) list << ToQt(path);
        OpenSettings(ini_file)->setValue(QString::fromLatin1(kKey), list);
    };
    return store;
}

}  // namespace kitforge
