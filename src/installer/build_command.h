#pragma once
// The Build command without its window: the editor calls it after its save-changes gate, and
// kitforge-cli build calls it directly. Everything it says to the user goes through UiHost.

#include <string>
#include <string_view>

#include "installer/build_installer.h"
#include "platform/paths.h"
#include "platform/ui_host.h"

namespace kitforge {

// What the command-line tool and the tests may change about a build; the editor passes none.
struct BuildCommandOptions {
    // The installer stub to copy; empty means program_folder + "setup.ex_".
    std::string stub_path;
    // Passed on to BuildInstaller.
    BuildOptions build;
    // Say "Build complete" on success; the editor shows where the installer is instead.
    bool announce_success = true;
};

// The installer stub a build copies when it is given none: setup.ex_ in the program folder.
std::string DefaultStubPath(const std::string& program_folder);

// The output path of a build: the `Output` text, or the script's file name up to and
// including its first "." followed by "exe" (my.setup.inf gives my.exe; a name without a "."
// is used unchanged). A path without a folder part gets the script folder in front of it.
std::string BuildOutputPath(std::string_view output_field, std::string_view script_file_name);

// Runs the Build command: output path from `output_field` or the script name, the script folder in front of a
// bare name, refuses an output that names the script, the stub or a source file, deletes the old output, shows the
// busy cursor, calls BuildInstaller with program_folder + "setup.ex_", and reports through `host`:
// "Build complete" on success, and one message for a failure (the writer's own report, or the
// error that ended the build). Returns true when the installer was written.
bool RunBuildCommand(UiHost& host, std::string_view output_field, const std::string& script_file_name,
                     const std::string& program_folder = ProgramFolder(), const BuildCommandOptions& options = {});

}  // namespace kitforge
