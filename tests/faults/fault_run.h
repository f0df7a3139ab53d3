#pragma once
// Runs the real programs of this build with the fault injector (fault_injector.c) preloaded,
// and the small checks every fault test makes afterwards: what a folder holds, byte for byte.

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/run_program.h"

namespace kitforge::testing {

// KF_FAULT_* settings, as name and value.
using FaultSettings = std::vector<std::pair<std::string, std::string>>;

// Runs `command` with the injector preloaded and `settings` in its environment. The injector
// logs each fault it injects to `log` (when given), so a test can tell the fault happened.
ProgramResult RunWithFaults(const FaultSettings& settings, const std::vector<std::string>& command,
                            const std::string& log = {}, const std::string& folder = {});

// Every regular file below `folder` (names relative to it) with its size and a digest of its
// bytes, which failure messages can show.
std::map<std::string, std::string> FolderContents(const std::string& folder);

// The names of FolderContents, one per line, for failure messages.
std::string Names(const std::map<std::string, std::string>& contents);

// Size and digest of some bytes, as FolderContents gives them.
std::string Fingerprint(const std::string& bytes);

// Bytes that deflate cannot shrink, the same for the same size.
std::string PseudoRandomBytes(std::size_t size, std::uint32_t seed = 12345);

bool Contains(const std::string& text, const std::string& part);

}  // namespace kitforge::testing
