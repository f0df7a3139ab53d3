#include "setup/folder_tokens.h"

#include <array>

#include "platform/ascii_case.h"
#include "setup/shell_folder_tokens.h"

namespace kitforge::setup {

namespace {

enum class Place { Desktop, Applications, Autostart, Documents, Templates, DataHome, None };

struct Token {
    std::string_view name;
    Place place;
};

// Every token the editor offers. Virtual folders (printers, drives, the recycle bin) and
// browser or shell folders without a freedesktop launcher folder map to None.
constexpr std::array<Token, 31> kTokens = {{
    {"DESKTOP", Place::Desktop},
    {"INTERNET", Place::None},
    {"PROGRAMS", Place::Applications},
    {"CONTROLS", Place::None},
    {"PRINTERS", Place::None},
    {"PERSONAL", Place::Documents},
    {"FAVORITES", Place::None},
    {"STARTUP", Place::Autostart},
    {"RECENT", Place::None},
    {"SENDTO", Place::None},
    {"BITBUCKET", Place::None},
    {"STARTMENU", Place::Applications},
    {"DESKTOPDIRECTORY", Place::Desktop},
    {"DRIVES", Place::None},
    {"NETWORK", Place::None},
    {"NETHOOD", Place::None},
    {"FONTS", Place::None},
    {"TEMPLATES", Place::Templates},
    {"COMMON_STARTMENU", Place::Applications},
    {"COMMON_PROGRAMS", Place::Applications},
    {"COMMON_STARTUP", Place::Autostart},
    {"COMMON_DESKTOPDIRECTORY", Place::Desktop},
    {"APPDATA", Place::DataHome},
    {"PRINTHOOD", Place::None},
    {"ALTSTARTUP", Place::Autostart},
    {"COMMON_ALTSTARTUP", Place::Autostart},
    {"COMMON_FAVORITES", Place::None},
    {"INTERNET_CACHE", Place::None},
    {"COOKIES", Place::None},
    {"HISTORY", Place::None},
    {"QUICK_LAUNCH", Place::None},
}};

std::string Under(const std::string& base, std::string_view name) {
    return base.empty() ? std::string() : base + "/" + std::string(name);
}

std::string FolderOf(Place place, const SetupEnvironment& environment, InstallScope scope) {
    const bool system_wide = scope == InstallScope::SystemWide;
    switch (place) {
        case Place::Desktop: return UserFolder(environment, "DESKTOP", "Desktop");
        case Place::Applications:
            return system_wide ? std::string("/usr/local/share/applications")
                               : Under(environment.data_home, "applications");
        case Place::Autostart:
            return system_wide ? std::string("/etc/xdg/autostart") : Under(environment.config_home, "autostart");
        case Place::Documents: return UserFolder(environment, "DOCUMENTS", "Documents");
        case Place::Templates: return UserFolder(environment, "TEMPLATES", "Templates");
        case Place::DataHome: return system_wide ? std::string("/usr/local/share") : environment.data_home;
        case Place::None: break;
    }
    return {};
}

}  // namespace

SpecialFolder ResolveSpecialFolder(std::string_view token, const SetupEnvironment& environment, InstallScope scope) {
#ifdef _WIN32
    (void)environment;
    const ShellFolder shell = ShellFolderOfToken(token, scope);
    if (shell == ShellFolder::Unknown) return {SpecialFolder::Kind::Unknown, {}};
    std::string path = ShellFolderPath(shell);
    if (path.empty()) return {SpecialFolder::Kind::NoCounterpart, {}};
    return {SpecialFolder::Kind::Folder, std::move(path)};
#endif
    for (const auto& known : kTokens) {
        if (!EqualIgnoringAsciiCase(token, known.name)) continue;
        if (known.place == Place::None) return {SpecialFolder::Kind::NoCounterpart, {}};
        std::string folder = FolderOf(known.place, environment, scope);
        // Without a home folder the user's folders are unknown: nothing to put the launcher in.
        if (folder.empty()) return {SpecialFolder::Kind::NoCounterpart, {}};
        return {SpecialFolder::Kind::Folder, std::move(folder)};
    }
    return {SpecialFolder::Kind::Unknown, {}};
}

std::vector<std::string_view> SpecialFolderTokens() {
    std::vector<std::string_view> names;
    for (const auto& known : kTokens) names.push_back(known.name);
    return names;
}

}  // namespace kitforge::setup
