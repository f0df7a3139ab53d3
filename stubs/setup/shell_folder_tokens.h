#pragma once
// The Windows folders that the special-folder tokens of a LINK location stand for, so that a
// shortcut goes where Windows shows it: the desktop, the Start menu, Startup and the rest.

#include <string>
#include <string_view>

#include "setup/folder_macros.h"

namespace kitforge::setup {

// The known folders a shortcut may go into; the Common ones are every user's.
enum class ShellFolder {
    Unknown,  // not a token the editor offers
    None,     // a token without a folder of its own (a virtual folder such as the printers)
    Desktop,
    CommonDesktop,
    Programs,
    CommonPrograms,
    StartMenu,
    CommonStartMenu,
    Startup,
    CommonStartup,
    Documents,
    Favorites,
    Recent,
    SendTo,
    NetHood,
    Templates,
    CommonTemplates,
    AppData,
    CommonAppData,
    PrintHood,
    Cookies,
    History,
    InternetCache,
    QuickLaunch,
};

// The folder for `token`, given without its angle brackets and matched in any letter case.
// An installation for the machine (elevated) puts desktop, menu and startup shortcuts where
// every user sees them; a per-user installation uses the user's own folders, the "COMMON_"
// tokens included, since it may not write the shared ones.
ShellFolder ShellFolderOfToken(std::string_view token, InstallScope scope);

// Windows only: the path of `folder` with "/" separators (made when missing), or an empty text
// when the system has none.
std::string ShellFolderPath(ShellFolder folder);

}  // namespace kitforge::setup
