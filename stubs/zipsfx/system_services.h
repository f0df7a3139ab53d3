#pragma once
// What the stub asks of the system besides files: the free space of a folder, running the
// command line after extraction, and a terminal that does not show a password as it is typed.

#include <cstdint>
#include <optional>
#include <string>

namespace kitforge::zipsfx {

// Bytes available to this user on the file system that holds `folder`, or on that of its
// nearest existing parent when it does not exist yet; nothing when that cannot be told.
std::optional<std::uint64_t> FreeSpaceFor(const std::string& folder);

// Runs `command` through /bin/sh in `folder` and waits for it. Gives its exit status,
// 128 + the signal number when a signal ended it, or -1 when it could not be started.
int RunShellCommand(const std::string& command, const std::string& folder);

// Stops the terminal on standard input from showing what is typed, for a password; false when
// standard input is no terminal (nothing changed). Meanwhile Ctrl-C does not end the program
// but ends the line as kInterruptCharacter, so that the echo always comes back: ShowTyping.
inline constexpr char kInterruptCharacter = '\x03';
bool HideTyping();
void ShowTyping();

// The folder part of `path` ("/" for a file in the root, "." for a bare name).
std::string ParentFolder(const std::string& path);

}  // namespace kitforge::zipsfx
