#pragma once
// Where a LINK line puts its launcher: "<TOKEN>\sub\Name" under the folder the token stands
// for, or a script path ("%program%\Name") like any other target.

#include <string>
#include <string_view>

#include "setup/folder_macros.h"
#include "setup/setup_environment.h"

namespace kitforge::setup {

struct LauncherLocation {
    enum class Kind {
        Place,          // folder and name are set
        UnknownToken,   // token names what the editor does not offer
        NoCounterpart,  // token has no launcher folder on this machine
    };
    Kind kind = Kind::Place;
    std::string folder;  // the folder of the .desktop file
    std::string base;    // the folder the token stands for; empty for a script path
    std::string name;    // the launcher's name as written (the last part of the location)
    std::string token;   // the token as written, with its angle brackets
};

// Throws Error when the text after a token holds a ".." part or no name at all: a launcher
// goes into the token's folder or a folder below it, never above.
LauncherLocation ResolveLauncherLocation(std::string_view location, const MacroFolders& folders,
                                         const SetupEnvironment& environment, InstallScope scope);

}  // namespace kitforge::setup
