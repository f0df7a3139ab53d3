#pragma once
// Shortcuts as Windows knows them: .lnk files of the shell, which the desktop, the Start menu
// and Startup read. A LINK line makes one on Windows where it makes a desktop entry elsewhere.

#include <string>
#include <string_view>
#include <vector>

namespace kitforge::setup {

struct Shortcut {
    std::string target;          // the program, an absolute path ("/" or "\" separators)
    std::string arguments;       // its command line after the program, quoted for Windows
    std::string working_folder;  // where the program starts; empty for none
    std::string description;     // the tooltip
};

// The file name for a shortcut called `name`: `name` + ".lnk", with a ".desktop" or ".lnk"
// ending dropped first, so a script written for either system names one file.
std::string ShortcutFileName(std::string_view name);

// `words` as one command line that Windows programs split back into the same words (the rules
// of CommandLineToArgvW and the C runtime): a word with a blank or a double quote, or an empty
// one, goes in double quotes, with a double quote and the backslashes before it escaped.
std::string WindowsCommandLine(const std::vector<std::string>& words);

// `path` with "\" separators, as Windows shows and stores paths.
std::string WindowsPathText(std::string_view path);

// Windows only: writes `shortcut` as the shell link file `path` (a new file) through the
// shell's IShellLinkW and IPersistFile. Throws Error naming `path` and the system's reason.
void SaveShortcut(const Shortcut& shortcut, const std::string& path);

}  // namespace kitforge::setup
