#pragma once
// Windows only. A program that is running cannot be removed there, and the uninstaller is among
// what it removes: it moves itself out of the install folder first, so that the folder can go.

#include <optional>
#include <string>

namespace kitforge::setup {

// Moves the running program `path` into `temp_folder` under a fresh name and asks Windows to
// remove it at the next restart (which Windows allows an administrator only; otherwise it stays
// in the temporary folder, which the system's clean-up empties). Gives where it now is, or
// nothing when it could not be moved (it then stays, and its removal fails with the reason).
std::optional<std::string> MoveRunningProgramAside(const std::string& path, const std::string& temp_folder);

// Makes `temp_folder` the current folder. Windows refuses to remove a folder that is some
// program's current folder, and a double-clicked uninstaller starts in the install folder.
void LeaveTheCurrentFolder(const std::string& temp_folder);

// Puts the program moved aside to `aside` back at `path`, for an uninstallation that failed and
// may be run again. False when it cannot.
bool MoveProgramBack(const std::string& aside, const std::string& path);

}  // namespace kitforge::setup
