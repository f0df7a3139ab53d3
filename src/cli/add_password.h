#pragma once
// The password of kitforge-cli add -e. A password on the command line can be read by every
// user of the machine (in the process list), so it may also come from a file, from standard
// input, or be typed on the terminal without echo.

#include <optional>
#include <string>

namespace kitforge::cli {

// The longest password the zip library takes; a longer one would be cut, and the archive
// would then refuse the password as typed.
inline constexpr std::size_t kMaxAddPassword = 80;

struct PasswordSource {
    // --password: used as given, after a warning on stderr that others can see it.
    std::optional<std::string> text;
    // --password-file: its first line, without the line ending; "-" reads standard input.
    std::optional<std::string> file;
};

// The password from `source`, or, with neither option, asked twice on a terminal. Throws
// CLI::ValidationError (bad usage) when there is none to be had, it is empty or longer than
// kMaxAddPassword bytes, or the two answers differ; a password file that cannot be read
// throws kitforge::Error naming it.
std::string AddPassword(const PasswordSource& source);

}  // namespace kitforge::cli
