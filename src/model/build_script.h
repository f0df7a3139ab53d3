#pragma once
// The data of one build script: five project fields, the ordered list of commands that the
// installer carries out from first to last, and two optional fields of the Windows installer's
// version information.

#include <string>
#include <vector>

namespace kitforge {

// None is an empty row: one made by the Insert button, or a line the reader did not know.
enum class CommandKind { None, Put, Execute, Run, Copy, Shortcut, CleanUp, Quit };

// One command, shown as one row of the script list. Texts are 8-bit, taken byte for byte.
struct ScriptCommand {
    CommandKind Action = CommandKind::None;
    std::string Parameter1;
    std::string Parameter2;

    bool operator==(const ScriptCommand&) const = default;
};

struct BuildScript {
    std::string Title;
    std::string Prompt;
    std::string Notes;
    std::string Output;
    bool Compressed = false;
    std::vector<ScriptCommand> Commands;
    // Written into a Windows installer's version information: ProductVersion (and FileVersion
    // when numeric) and CompanyName. Empty means not set: the file then holds no such line.
    // Initialized here, so that scripts written out field by field may leave them out.
    std::string Version{};
    std::string Publisher{};

    bool operator==(const BuildScript&) const = default;
};

inline constexpr const char* kNewProjectTitle = "New Project";
inline constexpr const char* kNewProjectPrompt =
    "To begin installation, click the INSTALL button. If you don't wish to proceed, click the EXIT button.";

// A build script with the values of a new project and no commands.
BuildScript NewBuildScript();

}  // namespace kitforge
