#pragma once
// What --list and --check print about an installer.

#include <string>
#include <vector>

#include "payload/payload_reader.h"
#include "setup/script_plan.h"

namespace kitforge::setup {

// The title, the prompt, the script lines in order and the files with their sizes and lines.
std::string InstallerListing(const std::string& installer_path, const payload::Payload& payload,
                             const std::vector<ScriptStep>& steps);

// One line: the installer is sound, with its counts.
std::string InstallerCheckSummary(const std::string& installer_path, const payload::Payload& payload);

}  // namespace kitforge::setup
