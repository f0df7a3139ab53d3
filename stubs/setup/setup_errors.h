#pragma once
// The failures of an installation: a script line that cannot be carried out (the message names
// the line and the reason), and the user's cancel.

#include <cstddef>
#include <string>
#include <string_view>

#include "os/errors.h"
#include "platform/printable_text.h"

namespace kitforge::setup {

// "line <n> (<line as stored>): <reason>". The line is shown with control characters made
// visible, and cut when very long, since it comes from the installer file.
class ScriptError : public Error {
public:
    ScriptError(std::size_t line_number, std::string_view line, std::string_view reason);
    std::size_t LineNumber() const noexcept { return line_number_; }

private:
    std::size_t line_number_;
};

// The user stopped the installation (Ctrl+C, or EXIT at the question).
class SetupCancelled : public Error {
public:
    SetupCancelled() : Error("cancelled by the user") {}
};

// Texts from the installer file are printed through kitforge::Printable.
using kitforge::Printable;

}  // namespace kitforge::setup
