#pragma once
// The whole installer: reads the command line and the payload at the end of the installer
// file, then lists, checks or installs.

#include <string>
#include <vector>

#include "setup/setup_console.h"
#include "setup/setup_environment.h"

namespace kitforge::setup {

enum SetupStatus { kInstalled = 0, kFailed = 1, kBadUsage = 2, kCancelled = 3 };

// `arguments` is the whole command line, the program name first; `installer_path` the file
// that holds the payload (the running program itself). Gives the exit status.
int RunSetup(const std::vector<std::string>& arguments, const std::string& installer_path,
             const SetupEnvironment& environment, const SetupStreams& streams = {});

}  // namespace kitforge::setup
