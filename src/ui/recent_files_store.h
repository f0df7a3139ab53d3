#pragma once
// The recent-files list in the user's settings (QSettings), or in an INI file of its own.

#include <QString>

#include "ui/recent_files.h"

namespace kitforge {

// `ini_file` empty: the user's settings of the organisation and program "Kitforge"
// (~/.config/Kitforge/Kitforge.conf on Linux). Otherwise that INI file.
RecentFilesStore SettingsRecentFilesStore(const QString& ini_file = {});

}  // namespace kitforge
