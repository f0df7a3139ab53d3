#pragma once
// The installer's terminal: what it prints, and the question whether to install (or uninstall).

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "setup/setup_front_end.h"

namespace kitforge::setup {

struct SetupStreams {
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

// Writes `text` and a line break.
void PrintLine(std::FILE* stream, std::string_view text);

enum class Choice { Install, Exit };

// The choice an answer stands for: INSTALL, I, YES or Y (UNINSTALL, U, YES or Y when the
// question is whether to uninstall); EXIT, E, NO, N, QUIT or Q; any letter case, blanks around
// ignored. Nothing for any other answer.
std::optional<Choice> ReadChoice(std::string_view answer, SetupAction action = SetupAction::Install);

// Asks until the answer is clear; the end of the input counts as EXIT.
Choice AskInstallOrExit(const SetupStreams& streams, SetupAction action = SetupAction::Install);

// True when `stream` is a terminal: a person can answer there.
bool IsTerminal(std::FILE* stream);

// The terminal front-end: the introduction and the question on standard output (answered on
// standard input; `silent` goes on without asking), progress as "[2/5] Extracting ...", the
// outcome on standard output and failures and warnings on standard error, each line starting
// with the program's name.
class TerminalFrontEnd : public SetupFrontEnd {
public:
    TerminalFrontEnd(const SetupStreams& streams, std::string program_name, bool silent)
        : streams_(streams), program_name_(std::move(program_name)), silent_(silent) {}
    std::optional<std::string> Ask(const SetupIntroduction& introduction) override;
    void Step(std::size_t number, std::size_t count, const std::string& text) override;
    void Warning(const std::string& text) override;
    void Bytes(std::uint64_t, std::uint64_t, const std::string&) override {}
    void Say(const std::string& text) override;
    void Complain(const std::string& text) override;
    void Finish(SetupStatus) override;

private:
    SetupStreams streams_;
    std::string program_name_;
    bool silent_;
};

}  // namespace kitforge::setup
