#include "cli/add_password.h"

#include <CLI/CLI.hpp>

#include <iostream>

#include "os/errors.h"
#include "os/file.h"
#include "platform/hidden_input.h"
#include "formats/zip_call_records.h"

namespace kitforge::cli {

namespace {

static_assert(kMaxAddPassword + 1 == ZIPDLL_PASSWORD_CAPACITY, "the zip library's password buffer");

// A first line longer than this cannot be a password the library takes.
constexpr std::size_t kLongestLineRead = 4096;

std::string WithoutLineEnding(std::string line) {
    const auto end = line.find('\n');
    if (end != std::string::npos) line.resize(end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string FirstLineOfStandardInput() {
    std::string line;
    if (!std::getline(std::cin, line) && line.empty()) {
        throw CLI::ValidationError("--password-file", "standard input ended before a password was read");
    }
    return WithoutLineEnding(line);
}

std::string FirstLineOf(const std::string& path) {
    File file = File::OpenRead(path);
    std::string text;
    char buffer[512];
    while (text.find('\n') == std::string::npos && text.size() <= kLongestLineRead) {
        const std::size_t got = file.Read(buffer, sizeof buffer);
        if (got == 0) {
            if (file.LastError() != 0) throw ReadError("read", path, file.LastError());
            break;
        }
        text.append(buffer, got);
    }
    return WithoutLineEnding(text);
}

std::string AskTwice() {
    if (!StandardInputIsTerminal()) {
        throw CLI::ValidationError("-e",
                                   "needs a password: --password-file FILE (- for standard input), or run on a "
                                   "terminal to be asked for it");
    }
    const auto first = ReadLineWithoutEcho("Password: ");
    if (!first) throw CLI::ValidationError("-e", "no password was typed");
    const auto second = ReadLineWithoutEcho("Password again: ");
    if (!second || *second != *first) throw CLI::ValidationError("-e", "the two passwords typed differ");
    return *first;
}

}  // namespace

std::string AddPassword(const PasswordSource& source) {
    std::string password;
    if (source.text) {
        std::cerr << "kitforge-cli: warning: a password given with --password can be seen by other users of this "
                     "computer; use --password-file or type it when asked\n";
        password = *source.text;
    } else if (source.file) {
        password = *source.file == "-" ? FirstLineOfStandardInput() : FirstLineOf(*source.file);
    } else {
        password = AskTwice();
    }
    if (password.empty()) throw CLI::ValidationError("-e", "the password is empty");
    if (password.size() > kMaxAddPassword) {
        throw CLI::ValidationError("-e", "the password is longer than the " + std::to_string(kMaxAddPassword) +
                                             " bytes the zip library takes; nothing was written");
    }
    return password;
}

}  // namespace kitforge::cli
