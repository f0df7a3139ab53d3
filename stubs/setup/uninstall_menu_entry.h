#pragma once
// The "Uninstall <title>" entry of the applications menu, beside the menu entries LINK lines
// make, so that whoever found the program there finds how to remove it there too.

#include <string>
#include <vector>

#include "formats/install_record.h"
#include "setup/folder_macros.h"
#include "setup/setup_environment.h"

namespace kitforge::setup {

// Writes the entry that runs `uninstaller`, for an install titled `title` in `scope`. Gives
// what it wrote for the record: the folders it made, then the entry. Nothing when this machine
// has no applications menu folder (no home folder). Throws FileError when it cannot be written.
std::vector<formats::InstallItem> WriteUninstallMenuEntry(const std::string& title, const std::string& uninstaller,
                                                          const SetupEnvironment& environment, InstallScope scope);

}  // namespace kitforge::setup
