#pragma once
// Where the editor's file dialogs open. Beside the current script is where the next file most
// likely is; without one, the user's home folder. Never the program's folder: once installed
// it is read-only, and nothing the user makes belongs there.

#include <string>
#include <string_view>

namespace kitforge {

// The user's home folder ($HOME, else the password database), ending in "/"; empty when
// neither names one.
std::string HomeFolder();

// The folder of `script_file_name` (with its separator), or the home folder when it is empty.
std::string DialogStartFolder(std::string_view script_file_name);

}  // namespace kitforge
