#pragma once
// The whole installer: reads the command line and the payload at the end of the installer
// file, then lists, checks or installs.

#include <string>
#include <vector>

#include "setup/setup_console.h"
#include "setup/setup_environment.h"
#include "setup/setup_front_end.h"

namespace kitforge::setup {

// `arguments` is the whole command line, the program name first; `installer_path` the file
// that holds the payload (the running program itself). `make_window` gives the window
// front-end, shown when standard input is not a terminal (or with --gui); without one, or when
// it gives nothing, the terminal is used. Gives the exit status.
int RunSetup(const std::vector<std::string>& arguments, const std::string& installer_path,
             const SetupEnvironment& environment, const SetupStreams& streams = {},
             const WindowFrontEndMaker& make_window = {});

}  // namespace kitforge::setup
