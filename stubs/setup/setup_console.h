#pragma once
// The installer's terminal: what it prints, and the question whether to install.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "setup/script_interpreter.h"

namespace kitforge::setup {

struct SetupStreams {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

// Writes `text` and a line break.
void PrintLine(std::FILE* stream, std::string_view text);

enum class Choice { Install, Exit };

// The choice an answer stands for: INSTALL, I, YES or Y; EXIT, E, NO, N, QUIT or Q; any letter
// case, blanks around ignored. Nothing for any other answer.
std::optional<Choice> ReadChoice(std::string_view answer);

// Asks until the answer is clear; the end of the input counts as EXIT.
Choice AskInstallOrExit(const SetupStreams& streams);

// Progress on standard output as "[2/5] Extracting ...", warnings on standard error.
class ConsoleProgress : public ProgressSink {
public:
    ConsoleProgress(const SetupStreams& streams, std::string program_name)
        : streams_(streams), program_name_(std::move(program_name)) {}
    void Step(std::size_t number, std::size_t count, const std::string& text) override;
    void Warning(const std::string& text) override;

private:
    SetupStreams streams_;
    std::string program_name_;
};

}  // namespace kitforge::setup
