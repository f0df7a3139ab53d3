#pragma once
// What the installer takes from the machine it runs on: the user's home and XDG folders, the
// temporary folder, and whether it runs as root. Read once from the process, or filled in by a
// test, so that nothing below reads the environment itself.

#include <string>
#include <string_view>

namespace kitforge::setup {

struct SetupEnvironment {
    std::string home;            // $HOME; empty when unknown
    std::string data_home;       // $XDG_DATA_HOME, else home + "/.local/share"
    std::string config_home;     // $XDG_CONFIG_HOME, else home + "/.config"
    std::string temp_root;       // $TMPDIR, else "/tmp"
    std::string current_folder;  // the working folder, for relative --target folders
    bool is_root = false;
    // Windows only: %LOCALAPPDATA%, %ProgramFiles%, %ProgramData% and the system folder.
    std::string local_data;
    std::string program_files;
    std::string common_data;
    std::string system_folder;
};

// Reads the environment of this process. XDG variables that hold a relative path are ignored,
// as the XDG rules ask; so is a relative TMPDIR.
SetupEnvironment ReadSetupEnvironment();

// Fills data_home and config_home from `home` and the given XDG values (empty or relative
// values fall back to the defaults under `home`).
void ApplyXdgDefaults(SetupEnvironment& environment, std::string_view xdg_data_home, std::string_view xdg_config_home);

// The user folder `key` (such as "DESKTOP" or "DOCUMENTS") that the user chose in
// config_home/user-dirs.dirs, or home + "/" + `fallback` when it names none.
std::string UserFolder(const SetupEnvironment& environment, std::string_view key, std::string_view fallback);

// Reads one XDG_<KEY>_DIR entry from the text of a user-dirs.dirs file: "$HOME/..." or an
// absolute path in double quotes. Gives an empty text when the entry is missing or malformed.
std::string UserFolderEntry(std::string_view file_text, std::string_view key, std::string_view home);

}  // namespace kitforge::setup
