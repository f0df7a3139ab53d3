#include "model/command_kinds.h"

namespace kitforge {

const std::array<CommandKindInfo, 7>& CommandKinds() {
    static const std::array<CommandKindInfo, 7> kinds = {{
        {CommandKind::Put, "Put", "extract", "Put a file in the installation"},
        {CommandKind::Execute, "Execute", "execute", "Execute an application and wait"},
        {CommandKind::Run, "Run", "run", "Run an application without waiting"},
        {CommandKind::Copy, "Copy", "copy", "Copy a file"},
        {CommandKind::Shortcut, "Shortcut", "link", "Create a shortcut"},
        {CommandKind::CleanUp, "Clean Up", "cleanup", "Clean up a folder"},
        {CommandKind::Quit, "Quit", "quit", "Quit the installation"},
    }};
    return kinds;
}

const CommandKindInfo* FindCommandKind(CommandKind kind) {
    for (const auto& info : CommandKinds()) {
        if (info.kind == kind) return &info;
    }
    return nullptr;
}

std::string_view CommandCaption(CommandKind kind) {
    const auto* info = FindCommandKind(kind);
    return info ? info->caption : std::string_view();
}

CommandKind CommandKindFromCaption(std::string_view caption) {
    for (const auto& info : CommandKinds()) {
        if (info.caption == caption) return info.kind;
    }
    return CommandKind::None;
}

}  // namespace kitforge
