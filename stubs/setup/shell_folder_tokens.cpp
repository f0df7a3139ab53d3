#include "setup/shell_folder_tokens.h"

#include <array>

#include "platform/ascii_case.h"

namespace kitforge::setup {

namespace {

struct Token {
    std::string_view name;
    ShellFolder per_user;
    ShellFolder machine;
};

// Every token the editor offers. Virtual folders (the control panel, printers, drives, the
// network, the recycle bin, the Internet) hold no files, and the fonts folder takes fonts
// only: they map to None. The favorites, the documents and the browser folders have no
// shared counterpart, so a machine-wide installation uses the installing user's.
constexpr std::array<Token, 31> kTokens = {{
    {"DESKTOP", ShellFolder::Desktop, ShellFolder::CommonDesktop},
    {"INTERNET", ShellFolder::None, ShellFolder::None},
    {"PROGRAMS", ShellFolder::Programs, ShellFolder::CommonPrograms},
    {"CONTROLS", ShellFolder::None, ShellFolder::None},
    {"PRINTERS", ShellFolder::None, ShellFolder::None},
    {"PERSONAL", ShellFolder::Documents, ShellFolder::Documents},
    {"FAVORITES", ShellFolder::Favorites, ShellFolder::Favorites},
    {"STARTUP", ShellFolder::Startup, ShellFolder::CommonStartup},
    {"RECENT", ShellFolder::Recent, ShellFolder::Recent},
    {"SENDTO", ShellFolder::SendTo, ShellFolder::SendTo},
    {"BITBUCKET", ShellFolder::None, ShellFolder::None},
    {"STARTMENU", ShellFolder::StartMenu, ShellFolder::CommonStartMenu},
    {"DESKTOPDIRECTORY", ShellFolder::Desktop, ShellFolder::CommonDesktop},
    {"DRIVES", ShellFolder::None, ShellFolder::None},
    {"NETWORK", ShellFolder::None, ShellFolder::None},
    {"NETHOOD", ShellFolder::NetHood, ShellFolder::NetHood},
    {"FONTS", ShellFolder::None, ShellFolder::None},
    {"TEMPLATES", ShellFolder::Templates, ShellFolder::CommonTemplates},
    {"COMMON_STARTMENU", ShellFolder::StartMenu, ShellFolder::CommonStartMenu},
    {"COMMON_PROGRAMS", ShellFolder::Programs, ShellFolder::CommonPrograms},
    {"COMMON_STARTUP", ShellFolder::Startup, ShellFolder::CommonStartup},
    {"COMMON_DESKTOPDIRECTORY", ShellFolder::Desktop, ShellFolder::CommonDesktop},
    {"APPDATA", ShellFolder::AppData, ShellFolder::CommonAppData},
    {"PRINTHOOD", ShellFolder::PrintHood, ShellFolder::PrintHood},
    {"ALTSTARTUP", ShellFolder::Startup, ShellFolder::CommonStartup},
    {"COMMON_ALTSTARTUP", ShellFolder::Startup, ShellFolder::CommonStartup},
    {"COMMON_FAVORITES", ShellFolder::Favorites, ShellFolder::Favorites},
    {"INTERNET_CACHE", ShellFolder::InternetCache, ShellFolder::InternetCache},
    {"COOKIES", ShellFolder::Cookies, ShellFolder::Cookies},
    {"HISTORY", ShellFolder::History, ShellFolder::History},
    {"QUICK_LAUNCH", ShellFolder::QuickLaunch, ShellFolder::QuickLaunch},
}};

}  // namespace

ShellFolder ShellFolderOfToken(std::string_view token, InstallScope scope) {
    for (const auto& known : kTokens) {
        if (EqualIgnoringAsciiCase(token, known.name))
            return scope == InstallScope::SystemWide ? known.machine : known.per_user;
    }
    return ShellFolder::Unknown;
}

}  // namespace kitforge::setup
