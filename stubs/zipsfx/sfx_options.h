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
    std::optional<std::string> folder;         // -d DIR
    std::optional<OverwriteMode> overwrite;    // -o / -n, over the header's mode
    bool gui = false;                          // --gui: the window even from a terminal
    bool text = false;                         // --text: the terminal even without one
    std::optional<std::string> password_file;  // --password-file FILE
};

// Parses the arguments after the program name. Throws SfxError (FailureKind::Usage) naming
// the argument that is wrong.
SfxOptions ParseSfxOptions(const std::vector<std::string>& arguments);

// The text of --help; `has_window` tells whether this build can show a window.
std::string SfxUsage(const std::string& program, bool has_window);

}  // namespace kitforge::zipsfx
