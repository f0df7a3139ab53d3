// Where Windows keeps each known folder, asked of the shell for the user running the installer.
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>

#include "os/win32_api.h"
#include "setup/shell_folder_tokens.h"

namespace kitforge::setup {

namespace {

const KNOWNFOLDERID* KnownFolder(ShellFolder folder) {
    switch (folder) {
        case ShellFolder::Desktop: return &FOLDERID_Desktop;
        case ShellFolder::CommonDesktop: return &FOLDERID_PublicDesktop;
        case ShellFolder::Programs: return &FOLDERID_Programs;
        case ShellFolder::CommonPrograms: return &FOLDERID_CommonPrograms;
        case ShellFolder::StartMenu: return &FOLDERID_StartMenu;
        case ShellFolder::CommonStartMenu: return &FOLDERID_CommonStartMenu;
        case ShellFolder::Startup: return &FOLDERID_Startup;
        case ShellFolder::CommonStartup: return &FOLDERID_CommonStartup;
        case ShellFolder::Documents: return &FOLDERID_Documents;
        case ShellFolder::Favorites: return &FOLDERID_Favorites;
        case ShellFolder::Recent: return &FOLDERID_Recent;
        case ShellFolder::SendTo: return &FOLDERID_SendTo;
        case ShellFolder::NetHood: return &FOLDERID_NetHood;
        case ShellFolder::Templates: return &FOLDERID_Templates;
        case ShellFolder::CommonTemplates: return &FOLDERID_CommonTemplates;
        case ShellFolder::AppData: return &FOLDERID_RoamingAppData;
        case ShellFolder::CommonAppData: return &FOLDERID_ProgramData;
        case ShellFolder::PrintHood: return &FOLDERID_PrintHood;
        case ShellFolder::Cookies: return &FOLDERID_Cookies;
        case ShellFolder::History: return &FOLDERID_History;
        case ShellFolder::InternetCache: return &FOLDERID_InternetCache;
        case ShellFolder::QuickLaunch: return &FOLDERID_QuickLaunch;
        case ShellFolder::Unknown:
        case ShellFolder::None: break;
    }
    return nullptr;
}

}  // namespace

std::string ShellFolderPath(ShellFolder folder) {
    const KNOWNFOLDERID* id = KnownFolder(folder);
    if (id == nullptr) return {};
    PWSTR found = nullptr;
    // Made when missing: a fresh profile may not have its Startup or Templates folder yet.
    const HRESULT result = SHGetKnownFolderPath(*id, KF_FLAG_CREATE, nullptr, &found);
    std::string path;
    if (SUCCEEDED(result) && found != nullptr) path = Utf8Text(found);
    CoTaskMemFree(found);
    std::replace(path.begin(), path.end(), '\\', '/');
    while (path.size() > 3 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace kitforge::setup
