// The texts of a Windows shortcut, the same on every system so that they are tested everywhere.
#include <algorithm>

#include "setup/desktop_launcher.h"
#include "setup/windows_shortcut.h"

namespace kitforge::setup {

namespace {

std::string QuotedWord(std::string_view word) {
    if (!word.empty() && word.find_first_of(" \t\n\v\"") == std::string_view::npos) return std::string(word);
    std::string quoted = "\"";
    for (std::size_t i = 0;; ++i) {
        std::size_t backslashes = 0;
        while (i < word.size() && word[i] == '\\') {
            ++i;
            ++backslashes;
        }
        // Backslashes are literal unless a double quote follows them: the closing quote
        // counts as one, so they are doubled before it as before an escaped quote.
        if (i == word.size()) {
            quoted.append(backslashes * 2, '\\');
            break;
        }
        quoted.append(word[i] == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        quoted += word[i];
    }
    quoted += '"';
    return quoted;
}

}  // namespace

std::string ShortcutFileName(std::string_view name) { return LauncherDisplayName(name) + ".lnk"; }

std::string WindowsCommandLine(const std::vector<std::string>& words) {
    std::string line;
    for (const auto& word : words) {
        if (!line.empty()) line += ' ';
        line += QuotedWord(word);
    }
    return line;
}

std::string WindowsPathText(std::string_view path) {
    std::string text(path);
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

}  // namespace kitforge::setup
