#include "setup/running_uninstaller.h"

#include "os/win32_api.h"

namespace kitforge::setup {

std::optional<std::string> MoveRunningProgramAside(const std::string& path, const std::string& temp_folder) {
    // Renaming is what Windows allows of a running program; the temporary folder is on the
    // system drive like the programs' folders, mostly, and a move to another drive would copy.
    const std::string aside = temp_folder + "/kitforge-uninstall-" + std::to_string(GetCurrentProcessId()) + "-" +
                              std::to_string(GetTickCount64()) + ".exe";
    if (!MoveFileExW(WidePath(path).c_str(), WidePath(aside).c_str(), 0)) return std::nullopt;
    MoveFileExW(WidePath(aside).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return aside;
}

void LeaveTheCurrentFolder(const std::string& temp_folder) {
    // When this fails the removal of the folder fails in turn, naming it and the reason.
    SetCurrentDirectoryW(WidePath(temp_folder).c_str());
}

bool MoveProgramBack(const std::string& aside, const std::string& path) {
    // A removal asked for at the next restart finds nothing under the old name, and does nothing.
    return MoveFileExW(WidePath(aside).c_str(), WidePath(path).c_str(), 0) != 0;
}

}  // namespace kitforge::setup
