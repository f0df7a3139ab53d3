#pragma once
// What --list and --check print about an installer.

#include <string>
#include <vector>

#include "payload/payload_checksum.h"
#include "payload/payload_reader.h"
#include "setup/script_plan.h"

namespace kitforge::setup {

// The title, the prompt, the script lines in order, the files with their sizes and lines, and
// the stored checksum (not compared with the payload: --check does that).
std::string InstallerListing(const std::string& installer_path, const payload::Payload& payload,
                             const std::vector<ScriptStep>& steps);

// One line: the installer is sound, with its counts and its checksum (or that it has none).
std::string InstallerCheckSummary(const std::string& installer_path, const payload::Payload& payload,
                                  const payload::ChecksumCheck& checksum);

}  // namespace kitforge::setup
