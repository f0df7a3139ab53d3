#include "setup/setup_console.h"

#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "platform/printable_text.h"

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

std::optional<Choice> ReadChoice(std::string_view answer, SetupAction action) {
    const std::string word = Lowered(answer);
    if (word == "yes" || word == "y") return Choice::Install;
    if (action == SetupAction::Install && (word == "install" || word == "i")) return Choice::Install;
    if (action == SetupAction::Uninstall && (word == "uninstall" || word == "u")) return Choice::Install;
    if (word == "exit" || word == "e" || word == "no" || word == "n" || word == "quit" || word == "q") {
        return Choice::Exit;
    }
    return std::nullopt;
}

Choice AskInstallOrExit(const SetupStreams& streams, SetupAction action) {
    const bool install = action == SetupAction::Install;
    const char* const question = install ? "Install or exit? [install/exit] " : "Uninstall or exit? [uninstall/exit] ";
    const char* const again = install ? "Please answer INSTALL or EXIT." : "Please answer UNINSTALL or EXIT.";
    char buffer[kAnswerBufferSize];
    while (true) {
        std::fputs(question, streams.out);
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
            PrintLine(streams.out, again);
            continue;
        }
        if (const auto choice = ReadChoice(std::string_view(buffer, length), action)) return *choice;
        PrintLine(streams.out, again);
    }
}

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

std::optional<std::string> TerminalFrontEnd::Ask(const SetupIntroduction& introduction) {
    const bool install = introduction.action == SetupAction::Install;
    if (!introduction.title.empty()) PrintLine(streams_.out, introduction.title);
    if (!introduction.prompt.empty()) PrintLine(streams_.out, introduction.prompt);
    PrintLine(streams_.out, (install ? "Install folder: " : "Installed in: ") + PrintablePath(introduction.folder));
    std::fflush(streams_.out);
    if (!silent_ && AskInstallOrExit(streams_, introduction.action) == Choice::Exit) return std::nullopt;
    return introduction.folder;
}

void TerminalFrontEnd::Step(std::size_t number, std::size_t count, const std::string& text) {
    std::fprintf(streams_.out, "[%zu/%zu] ", number, count);
    PrintLine(streams_.out, text);
    std::fflush(streams_.out);
}

void TerminalFrontEnd::Warning(const std::string& text) {
    std::fflush(streams_.out);
    PrintLine(streams_.err, program_name_ + ": warning: " + text);
    std::fflush(streams_.err);
}

void TerminalFrontEnd::Say(const std::string& text) {
    PrintLine(streams_.out, text);
    std::fflush(streams_.out);
}

void TerminalFrontEnd::Complain(const std::string& text) {
    std::fflush(streams_.out);
    PrintLine(streams_.err, program_name_ + ": " + text);
    std::fflush(streams_.err);
}

void TerminalFrontEnd::Finish(SetupStatus) {
    std::fflush(streams_.out);
    std::fflush(streams_.err);
}

}  // namespace kitforge::setup
