#include "setup/setup_errors.h"

namespace kitforge::setup {

namespace {

std::string ScriptErrorMessage(std::size_t line_number, std::string_view line, std::string_view reason) {
    return "line " + std::to_string(line_number) + " (" + Printable(line) + "): " + std::string(reason);
}

}  // namespace

ScriptError::ScriptError(std::size_t line_number, std::string_view line, std::string_view reason)
    : Error(ScriptErrorMessage(line_number, line, reason)), line_number_(line_number) {}

std::string Printable(std::string_view text) {
    std::string printable(text);
    for (char& c : printable) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = '?';
    }
    return printable;
}

}  // namespace kitforge::setup
