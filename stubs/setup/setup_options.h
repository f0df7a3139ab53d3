#pragma once
// The installer's command line.

#include <string>
#include <string_view>
#include <vector>

#include "os/errors.h"

namespace kitforge::setup {

struct SetupOptions {
    bool silent = false;    // --silent, /S: install without asking
    bool list = false;      // --list: print what the installer holds
    bool check = false;     // --check: only verify the payload
    bool help = false;      // --help, -h, /?
    bool version = false;   // --version
    bool per_user = false;  // --user: the user's own folders, also when run as root
    bool force = false;     // --force: install as root even where other users could interfere
    bool gui = false;       // --gui: show the window even when started from a terminal
    bool text = false;      // --text: ask on the terminal even when standard input is not one
    std::string target;     // --target DIR: the folder %program% stands for; empty for the default
};

// A command line the installer does not understand; the text says what is wrong.
class UsageError : public Error {
public:
    using Error::Error;
};

// Reads the arguments that follow the program name. Throws UsageError.
SetupOptions ParseSetupOptions(const std::vector<std::string>& arguments);

// The text of --help for an installer started as `program_name`.
// `has_window`: whether this build of the installer can show its window.
std::string SetupHelpText(std::string_view program_name, bool has_window);

}  // namespace kitforge::setup
