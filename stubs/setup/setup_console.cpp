#include "setup/setup_console.h"

#include <cstring>

namespace kitforge::setup {

namespace {

// Answers are words; a longer line is not an answer.
constexpr int kAnswerBufferSize = 256;

std::string Lowered(std::string_view text) {
    while (!text.empty() && std::strchr(" \t\r\n", text.front()) != nullptr) text.remove_prefix(1);
    while (!text.empty() && std::strchr(" \t\r\n", text.back()) != nullptr) text.remove_suffix(1);
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lowered;
}

}  // namespace

void PrintLine(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
}

std::optional<Choice> ReadChoice(std::string_view answer) {
    const std::string word = Lowered(answer);
    if (word == "install" || word == "i" || word == "yes" || word == "y") return Choice::Install;
    if (word == "exit" || word == "e" || word == "no" || word == "n" || word == "quit" || word == "q") {
        return Choice::Exit;
    }
    return std::nullopt;
}

Choice AskInstallOrExit(const SetupStreams& streams) {
    char buffer[kAnswerBufferSize];
    while (true) {
        std::fputs("Install or exit? [install/exit] ", streams.out);
        std::fflush(streams.out);
        if (std::fgets(buffer, sizeof buffer, streams.in) == nullptr) {
            std::fputc('\n', streams.out);
            return Choice::Exit;
        }
        const std::size_t length = std::strlen(buffer);
        // Swallow the rest of an over-long line so that it is not read as further answers.
        if (length > 0 && buffer[length - 1] != '\n') {
            int c;
            while ((c = std::fgetc(streams.in)) != EOF && c != '\n') {
            }
            if (c == EOF) return Choice::Exit;
            PrintLine(streams.out, "Please answer INSTALL or EXIT.");
            continue;
        }
        if (const auto choice = ReadChoice(std::string_view(buffer, length))) return *choice;
        PrintLine(streams.out, "Please answer INSTALL or EXIT.");
    }
}

void ConsoleProgress::Step(std::size_t number, std::size_t count, const std::string& text) {
    std::fprintf(streams_.out, "[%zu/%zu] ", number, count);
    PrintLine(streams_.out, text);
    std::fflush(streams_.out);
}

void ConsoleProgress::Warning(const std::string& text) {
    std::fflush(streams_.out);
    PrintLine(streams_.err, program_name_ + ": warning: " + text);
    std::fflush(streams_.err);
}

}  // namespace kitforge::setup
