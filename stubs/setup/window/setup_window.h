#pragma once
// The installer's window: the question, the progress and the result as three pages of one
// window, for a person who started the installer without a terminal.

#include <memory>
#include <string>

#include "setup/setup_front_end.h"

namespace kitforge::setup {

// Opens the display and makes the window front-end, or gives nothing when no display can be
// opened (the installer then stays on the terminal). Its lines are also written where the
// terminal writes them, for logs.
std::unique_ptr<SetupFrontEnd> MakeSetupWindow(const std::string& program_name);

}  // namespace kitforge::setup
