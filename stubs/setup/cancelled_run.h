#pragma once
// An installation cancelled part-way (Ctrl+C, or Cancel in the window) takes back what it wrote,
// with the same record and the same remover as the uninstaller.

#include <vector>

#include "formats/install_record.h"
#include "setup/script_interpreter.h"
#include "setup/setup_front_end.h"

namespace kitforge::setup {

// Removes `items` (what the run recorded so far) and tells `front` what was removed, or names
// what could not be. Gives the status of a cancelled installation.
int TakeBackCancelledRun(const std::vector<formats::InstallItem>& items, const InstallSettings& settings,
                         SetupFrontEnd& front);

}  // namespace kitforge::setup
