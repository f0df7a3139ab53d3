#include "zipsfx/console.h"

#include <cstdio>

#include "zipsfx/system_services.h"

namespace kitforge::zipsfx {

namespace {

void WriteLine(std::FILE* stream, std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

}  // namespace

void TerminalConsole::Say(std::string_view line) { WriteLine(stdout, line); }

void TerminalConsole::Complain(std::string_view line) { WriteLine(stderr, line); }

namespace {

// Shows `question` and reads a line of standard input; nothing when the input has ended
// before any of it, or (`interruptible`) when the line ended with Ctrl-C.
std::optional<std::string> ReadAnswer(std::string_view question, bool interruptible) {
    std::fwrite(question.data(), 1, question.size(), stdout);
    std::fflush(stdout);
    std::string answer;
    for (;;) {
        const int c = std::fgetc(stdin);
        if (c == EOF && answer.empty()) return std::nullopt;
        if (c == EOF || c == '\n') break;
        if (interruptible && c == kInterruptCharacter) return std::nullopt;
        answer += static_cast<char>(c);
    }
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();
    return answer;
}

}  // namespace

std::optional<std::string> TerminalConsole::Ask(std::string_view question) {
    auto answer = ReadAnswer(question, false);
    if (!answer) std::fputc('\n', stdout);
    return answer;
}

std::optional<std::string> TerminalConsole::AskSecret(std::string_view question) {
    if (!HideTyping()) return Ask(question);
    auto answer = ReadAnswer(question, true);
    ShowTyping();
    // The Enter that ended the line was not shown either.
    WriteLine(stdout, "");
    return answer;
}

}  // namespace kitforge::zipsfx
