#pragma once
// The four command dialogs as the script list sees them: each is filled with texts, shown
// modally, and gives its texts back when the user answers OK (nothing on Cancel). The editor
// shows the Qt dialogs through this seam; tests answer it from a script.

#include <optional>
#include <string>
#include <string_view>

namespace kitforge {

// "Put A File".
struct ExtractFields {
    std::string SourceFiles;
    std::string TargetFolder;
    bool operator==(const ExtractFields&) const = default;
};

// "Copy File".
struct CopyFields {
    std::string SourceFile;
    std::string TargetFolder;
    bool operator==(const CopyFields&) const = default;
};

// "Create A Shortcut".
struct LinkFields {
    std::string ShortcutLocation;
    std::string TargetProgram;
    std::string Arguments;
    bool operator==(const LinkFields&) const = default;
};

// The captions and labels that the one command-line dialog takes for its three commands.
struct ExecuteTexts {
    std::string_view caption;
    std::string_view label;
};
inline constexpr ExecuteTexts kExecuteTexts{"Execute", "Execute Command (wait until done)"};
inline constexpr ExecuteTexts kRunTexts{"Run", "Run Command (don't wait)"};
inline constexpr ExecuteTexts kCleanUpTexts{"Clean Up", "Clean Up Folder"};

class CommandDialogs {
public:
    virtual ~CommandDialogs() = default;
    virtual std::optional<ExtractFields> ShowExtract(const ExtractFields& fields) = 0;
    // "Execute", also with the texts of Run and Clean Up; gives the command line.
    virtual std::optional<std::string> ShowExecute(const ExecuteTexts& texts, const std::string& command_line) = 0;
    virtual std::optional<CopyFields> ShowCopy(const CopyFields& fields) = 0;
    virtual std::optional<LinkFields> ShowLink(const LinkFields& fields) = 0;
};

}  // namespace kitforge
