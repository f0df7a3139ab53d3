#pragma once
// What the editor and the file know of each kind of command, held once: the caption shown
// in the list's Action column (also how the window tells the kinds apart), the keyword that
// begins the command's line in the file, and the hint of its button.

#include <array>
#include <optional>
#include <string_view>

#include "model/build_script.h"

namespace kitforge {

struct CommandKindInfo {
    CommandKind kind;
    std::string_view caption;
    std::string_view keyword;
    std::string_view hint;
};

// The seven real kinds, in the order of the editor's buttons.
const std::array<CommandKindInfo, 7>& CommandKinds();

// The entry of a kind; nothing for None.
const CommandKindInfo* FindCommandKind(CommandKind kind);

// The caption of a kind ("" for None).
std::string_view CommandCaption(CommandKind kind);

// The kind whose caption is exactly `caption` (letter case included); None otherwise.
CommandKind CommandKindFromCaption(std::string_view caption);

}  // namespace kitforge
