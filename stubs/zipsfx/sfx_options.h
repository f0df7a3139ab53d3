#pragma once
// The stub's command line.

#include <optional>
#include <string>
#include <vector>

#include "zipsfx/stub_header.h"

namespace kitforge::zipsfx {

enum class SfxAction { Extract, List, Test, Help };

struct SfxOptions {
    SfxAction action = SfxAction::Extract;
    bool silent = false;
    std::optional<std::string> folder;       // -d DIR
    std::optional<OverwriteMode> overwrite;  // -o / -n, over the header's mode
};

// Parses the arguments after the program name. Throws SfxError (FailureKind::Usage) naming
// the argument that is wrong.
SfxOptions ParseSfxOptions(const std::vector<std::string>& arguments);

// The text of --help.
std::string SfxUsage(const std::string& program);

}  // namespace kitforge::zipsfx
