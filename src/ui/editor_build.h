#pragma once
// The editor's Build after its save-changes gate: a project without a file is told to save
// first, the saved script is checked and its problems are shown together before anything is
// built, and a build that succeeds says where the installer is and how large it is. The two
// windows this needs come through BuildDialogs, so the steps run in tests without them.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui_host.h"

namespace kitforge {

class EditorProject;

// What a successful build made.
struct BuiltInstaller {
    std::string path;
    std::uint64_t size = 0;
};

struct BuildDialogs {
    // Shows the problems the check found, with "Build anyway" and "Cancel": true builds.
    // Empty: the host asks the same with Yes and No.
    std::function<bool(const std::vector<std::string>& problems)> confirm_build;
    // Shows the installer that was built and offers to test it. Empty: the host's
    // information box with the same text.
    std::function<void(const BuiltInstaller& built)> show_built;
};

// The words of a Build that has no file to build from.
inline constexpr std::string_view kSaveScriptFirst =
    "Save the script first: Build makes the installer from the saved script file, and this project "
    "has not been saved yet.";

// The sentence that leads the list of problems.
inline constexpr std::string_view kBuildCheckIntro = "Before building, check these:";

// "The installer was built:" with its path and size on the lines after.
std::string BuiltInstallerText(const BuiltInstaller& built);

// A size for people: "512 bytes", "1.5 KB", "4.7 MB" (units of 1024).
std::string ReadableSize(std::uint64_t bytes);

// Builds the saved script of `project` as the Build command does (RunBuildCommand), with the
// check before it and the result after it; everything else it says goes through `host`.
void RunEditorBuild(UiHost& host, const EditorProject& project, const std::string& program_folder,
                    const BuildDialogs& dialogs);

}  // namespace kitforge
