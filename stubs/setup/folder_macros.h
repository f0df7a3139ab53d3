#pragma once
// The four folder macros that script texts may hold, and how a script's folder text becomes a
// path on this machine.
//
//   %program%  the install folder: --target, else <home>/.local/opt/<title> (as root:
//              /opt/<title>), the title made safe as a folder name
//   %wtemp%    a fresh temporary folder for this run, removed when the installer ends
//   %common%   shared data: <XDG data home> (as root: /usr/local/share)
//   %system%   programs on the path: <home>/.local/bin (as root: /usr/local/bin)

#include <string>
#include <string_view>

#include "setup/setup_environment.h"

namespace kitforge::setup {

struct MacroFolders {
    // Absolute paths without a trailing "/".
    std::string program;
    std::string wtemp;
    std::string common;
    std::string system;
};

// Whether the installer puts things where every user finds them (root, unless --user) or in
// the folders of the user who runs it.
enum class InstallScope { PerUser, SystemWide };

// The title as one folder name: separators, ":" and control characters become "_", blanks
// and leading dots are trimmed, the length is kept within what file systems take; an empty
// result becomes "Setup".
std::string SafeFolderName(std::string_view title);

// The folders of the macros for this installer. `target` is the --target text (empty for the
// default install folder; relative to the working folder otherwise). %wtemp% is left empty:
// it exists only while an installation runs. Throws Error when the home folder is needed
// but unknown.
MacroFolders DefaultMacroFolders(const SetupEnvironment& environment, std::string_view title, std::string_view target,
                                 InstallScope scope);

// Replaces every folder macro in `text`, in any letter case, by its folder; the inserted text
// is not searched again and other %...% texts stay as they are.
std::string ExpandFolderMacros(std::string_view text, const MacroFolders& folders);

// True when `text` starts with one of the four macros (any letter case).
bool StartsWithFolderMacro(std::string_view text);

// A path as this platform writes it: every "\" becomes "/", runs of "/" become one, "./"
// parts go, and a trailing "/" is dropped (except for "/" itself).
std::string TidyPath(std::string_view path);

// True for a path that starts at a root: "/..." and, on Windows, also "C:/..." or "C:\...".
inline bool IsAbsoluteFolderPath(std::string_view path) {
    if (!path.empty() && path.front() == '/') return true;
#ifdef _WIN32
    if (!path.empty() && path.front() == '\\') return true;
    return path.size() >= 3 && path[1] == ':' && (path[2] == '/' || path[2] == '\\') &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
#else
    return false;
#endif
}

// A folder or file named by the script, on this machine: macros expanded, "\" read as a
// separator, and a relative path (an empty one included) taken inside %program%.
std::string ResolveScriptPath(std::string_view text, const MacroFolders& folders);

}  // namespace kitforge::setup
