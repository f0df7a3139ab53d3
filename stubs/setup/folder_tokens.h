#pragma once
// The special-folder tokens that a LINK location may start with ("<DESKTOP>\Name"), mapped to
// the freedesktop folders where launchers are looked for on this machine.

#include <string>
#include <string_view>
#include <vector>

#include "setup/folder_macros.h"
#include "setup/setup_environment.h"

namespace kitforge::setup {

struct SpecialFolder {
    enum class Kind {
        Folder,         // `folder` holds the launchers of this token
        NoCounterpart,  // a token the editor offers that has no launcher folder here
        Unknown,        // not a token the editor knows
    };
    Kind kind = Kind::Unknown;
    std::string folder;
};

// The folder for `token`, given without its angle brackets and matched in any letter case.
// System-wide installs put menu and autostart entries where every user sees them; per-user
// installs use the user's own folders, the "COMMON_" tokens included. On Windows the folder is
// the known folder of the shell (see shell_folder_tokens.h).
SpecialFolder ResolveSpecialFolder(std::string_view token, const SetupEnvironment& environment, InstallScope scope);

// Every token the editor offers, without its angle brackets.
std::vector<std::string_view> SpecialFolderTokens();

}  // namespace kitforge::setup
