#pragma once
// The uninstaller: the installer program with an install record at its end instead of a
// payload. It shows the title and the install folder, asks, and removes what the record lists
// (see installed_item_remover.h), through the same front-ends and with the same exit statuses
// as the installer.

#include <cstdio>
#include <string>
#include <string_view>

#include "setup/setup_environment.h"
#include "setup/setup_front_end.h"
#include "setup/setup_options.h"

namespace kitforge::setup {

// True when the file at `path` ends with the uninstaller's mark.
bool IsUninstallerFile(const std::string& path);

// Throws UsageError for the options that only mean something when installing.
void RefuseInstallOnlyOptions(const SetupOptions& options);

// The text of --help for an uninstaller started as `program_name`.
std::string UninstallHelpText(std::string_view program_name);

// Lists (--list), checks (--check) or, after asking through `front`, removes what the record
// of the uninstaller at `path` lists. Reports every failure through `front`; gives the exit
// status.
int RunUninstall(const SetupOptions& options, const std::string& path, const SetupEnvironment& environment,
                 SetupFrontEnd& front, std::FILE* out);

}  // namespace kitforge::setup
