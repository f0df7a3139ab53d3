#include "setup/desktop_launcher.h"

namespace kitforge::setup {

namespace {

constexpr std::string_view kDesktopSuffix = ".desktop";
constexpr std::string_view kShortcutSuffix = ".lnk";
// Characters that make an Exec word need quotes.
constexpr std::string_view kReservedInExec = " \t\n\"'\\><~|&;$*?#()`";
// Characters that must be escaped with a backslash inside a quoted Exec word.
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = text[text.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

// A value of a string key: backslash and control characters escaped, and a leading blank
// kept visible, as the freedesktop rules for values ask.
std::string StringValue(std::string_view text) {
    std::string value;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
            case '\\': value += "\\\\"; break;
            case '\n': value += "\\n"; break;
            case '\t': value += "\\t"; break;
            case '\r': value += "\\r"; break;
            case ' ': value += i == 0 ? "\\s" : " "; break;
            default:
                // Other control characters cannot be written in a value at all.
                value += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
        }
    }
    return value;
}

std::string ExecWord(std::string_view word) {
    std::string quoted;
    const bool needs_quotes = word.empty() || word.find_first_of(kReservedInExec) != std::string_view::npos;
    if (needs_quotes) quoted += '"';
    for (char c : word) {
        if (needs_quotes && kEscapedInQuotes.find(c) != std::string_view::npos) quoted += '\\';
        quoted += c;
        if (c == '%') quoted += '%';
    }
    if (needs_quotes) quoted += '"';
    return quoted;
}

}  // namespace

std::string DesktopEntryText(const Launcher& launcher) {
    std::string exec;
    for (const auto& word : launcher.words) {
        if (!exec.empty()) exec += ' ';
        exec += ExecWord(word);
    }
    std::string text = "[Desktop Entry]\nType=Application\nVersion=1.0\n";
    text += "Name=" + StringValue(launcher.name) + "\n";
    text += "Exec=" + StringValue(exec) + "\n";
    if (!launcher.working_folder.empty()) text += "Path=" + StringValue(launcher.working_folder) + "\n";
    text += "Terminal=false\n";
    return text;
}

std::string LauncherDisplayName(std::string_view name) {
    if (EndsWithIgnoringCase(name, kShortcutSuffix))
        name.remove_suffix(kShortcutSuffix.size());
    else if (EndsWithIgnoringCase(name, kDesktopSuffix))
        name.remove_suffix(kDesktopSuffix.size());
    return std::string(name);
}

std::string LauncherFileName(std::string_view name) { return LauncherDisplayName(name) + std::string(kDesktopSuffix); }

}  // namespace kitforge::setup
