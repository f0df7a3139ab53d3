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

std::optional<std::string> TerminalConsole::Ask(std::string_view question) {
    std::fwrite(question.data(), 1, question.size(), stdout);
    std::fflush(stdout);
    std::string answer;
    for (;;) {
        const int c = std::fgetc(stdin);
        if (c == EOF) {
            if (answer.empty()) {
                std::fputc('\n', stdout);
                return std::nullopt;
            }
            break;
        }
        if (c == '\n') break;
        answer += static_cast<char>(c);
    }
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();
    return answer;
}

std::optional<std::string> TerminalConsole::AskSecret(std::string_view question) {
    const bool hidden = HideTyping();
    auto answer = Ask(question);
    if (hidden) {
        ShowTyping();
        // The Enter that ended the line was not shown either.
        if (answer) WriteLine(stdout, "");
    }
    return answer;
}

}  // namespace kitforge::zipsfx
