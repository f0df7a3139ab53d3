#include "setup/setup_errors.h"

namespace kitforge::setup {

namespace {

// A damaged installer can hold lines of megabytes; a message shows their start.
constexpr std::size_t kShownLineBytes = 200;

std::string ScriptErrorMessage(std::size_t line_number, std::string_view line, std::string_view reason) {
    return "line " + std::to_string(line_number) + " (" + Printable(line, kShownLineBytes) +
           "): " + std::string(reason);
}

}  // namespace

ScriptError::ScriptError(std::size_t line_number, std::string_view line, std::string_view reason)
    : Error(ScriptErrorMessage(line_number, line, reason)), line_number_(line_number) {}

}  // namespace kitforge::setup
