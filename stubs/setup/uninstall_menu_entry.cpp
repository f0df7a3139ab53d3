#include "setup/uninstall_menu_entry.h"

#include "setup/desktop_launcher.h"
#include "setup/folder_tokens.h"
#include "setup/install_folder.h"
#include "setup/safe_extraction.h"
#include "setup/written_item.h"

namespace kitforge::setup {

std::vector<formats::InstallItem> WriteUninstallMenuEntry(const std::string& title, const std::string& uninstaller,
                                                          const SetupEnvironment& environment, InstallScope scope) {
    const SpecialFolder menu = ResolveSpecialFolder("PROGRAMS", environment, scope);
    if (menu.kind != SpecialFolder::Kind::Folder) return {};
    Launcher launcher;
    launcher.name = "Uninstall " + title;
    launcher.words = {uninstaller};
    launcher.working_folder = uninstaller.substr(0, uninstaller.rfind('/'));
    // The title may hold anything; the file name takes it as a folder name would.
    const std::string file_name = LauncherFileName("Uninstall " + SafeFolderName(title));

    std::vector<std::string> made;
    std::vector<formats::InstallItem> items;
    const InstallFolder folder = OpenInstallFolder(menu.folder, {menu.folder}, true, &made);
    for (const auto& path : made) items.push_back({formats::InstallItemKind::Folder, path, 0, {}});
    const FileIdentity written = WriteFileThroughTemporary(
        folder, file_name, 0755, [&](File& out) { out.WriteAll(DesktopEntryText(launcher)); });
    items.push_back(WrittenItem(folder, file_name, written, formats::InstallItemKind::Launcher));
    return items;
}

}  // namespace kitforge::setup
