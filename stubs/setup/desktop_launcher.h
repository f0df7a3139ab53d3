#pragma once
// Launchers as this platform knows them: freedesktop .desktop files, which desktops, menus and
// autostart read.

#include <string>
#include <string_view>
#include <vector>

namespace kitforge::setup {

struct Launcher {
    std::string name;                // shown under the icon or in the menu
    std::vector<std::string> words;  // the program (a path, or a name looked up on the path) and its arguments
    std::string working_folder;      // where the program starts; empty for none
};

// The text of the .desktop file for `launcher`. Each word of the Exec line is quoted when it
// holds a character the Exec rules reserve, with the characters that need it escaped, and
// "%" doubled so that no word is read as a field code; every value escapes "\" and control
// characters as string values must.
std::string DesktopEntryText(const Launcher& launcher);

// The file name for a launcher called `name`: `name` + ".desktop", with a ".lnk" ending of a
// Windows shortcut name dropped and an existing ".desktop" ending kept.
std::string LauncherFileName(std::string_view name);

// The launcher's name as shown: `name` without a ".lnk" or ".desktop" ending.
std::string LauncherDisplayName(std::string_view name);

}  // namespace kitforge::setup
