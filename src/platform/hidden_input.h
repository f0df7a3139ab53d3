#pragma once
// Reading a secret, such as a password, from the person at the terminal: the terminal does not
// show what is typed, and shows it again afterwards whatever happens, Ctrl+C included.

#include <optional>
#include <string>
#include <string_view>

namespace kitforge {

// True when standard input is a terminal, so that a person can be asked.
bool StandardInputIsTerminal();

// Writes `prompt` to stderr and reads one line from standard input without echo. Gives the
// line without its line ending, or nothing when the input ended before a line was read.
std::optional<std::string> ReadLineWithoutEcho(std::string_view prompt);

}  // namespace kitforge
