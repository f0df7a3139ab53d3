#pragma once
// The one place that decides whether an entry's stored name may become a path under the
// target folder, and how names are shown on a terminal.

#include <optional>
#include <string>
#include <string_view>

namespace kitforge::zipsfx {

struct CheckedName {
    std::string path;           // relative, "/"-separated, no trailing "/"
    bool is_directory = false;  // the stored name ended in a separator
};

// Gives the relative path for a stored name, or nothing with `reason` set. Both "/" and "\"
// separate parts, since archives made on Windows may use either. A name is refused, never
// repaired, when it is empty, absolute, starts with a drive letter, holds a NUL or a control
// character, or has a part that is empty, "." or "..".
std::optional<CheckedName> CheckEntryName(std::string_view stored, std::string* reason);

// `text` with every control character (and DEL) replaced by "?", so that a name or caption
// from the archive cannot send escape sequences to the terminal.
std::string Printable(std::string_view text);
// A path for a message: Printable of its DisplayPath, so a Windows user reads "\\" in it.
std::string PrintablePath(std::string_view path);

}  // namespace kitforge::zipsfx
