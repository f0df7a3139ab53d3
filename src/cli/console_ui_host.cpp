#include "cli/console_ui_host.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <iostream>
#include <vector>

namespace kitforge::cli {

namespace {

std::string_view Prefix(MessageKind kind) {
    switch (kind) {
        case MessageKind::Error: return "error: ";
        case MessageKind::Warning: return "warning: ";
        default: return "";
    }
}

// Message texts may hold line breaks (a sentence, two line feeds, the reason); keep them on
// one line so that scripts reading our output see one message per line.
std::string OneLine(std::string_view text) {
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            if (!line.empty() && line.back() != ' ') line += ' ';
            continue;
        }
        line += c;
    }
    return line;
}

// What a question is answered with when nobody answers it.
Answer Refusal(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok: return Answer::Ok;
        case Buttons::YesNo: return Answer::No;
        default: break;
    }
    return Answer::Cancel;
}

std::vector<Answer> AnswersOf(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok: return {Answer::Ok};
        case Buttons::OkCancel: return {Answer::Ok, Answer::Cancel};
        case Buttons::YesNo: return {Answer::Yes, Answer::No};
        case Buttons::YesNoCancel: return {Answer::Yes, Answer::No, Answer::Cancel};
        case Buttons::RetryCancel: return {Answer::Retry, Answer::Cancel};
    }
    return {Answer::Cancel};
}

char LetterOf(Answer answer) {
    switch (answer) {
        case Answer::Ok: return 'o';
        case Answer::Cancel: return 'c';
        case Answer::Yes: return 'y';
        case Answer::No: return 'n';
        case Answer::Retry: return 'r';
    }
    return '?';
}

// Asks on the terminal until one of the box's buttons is named by its first letter; the
// default's letter is shown in capitals ("[y/N/c]"), and Enter alone chooses it.
Answer AskOnTerminal(Buttons buttons, std::optional<Answer> default_button) {
    const std::vector<Answer> answers = AnswersOf(buttons);
    const Answer on_enter = default_button.value_or(Refusal(buttons));
    std::string choices;
    for (Answer answer : answers) {
        if (!choices.empty()) choices += '/';
        choices += answer == on_enter ? static_cast<char>(std::toupper(LetterOf(answer))) : LetterOf(answer);
    }
    for (;;) {
        std::cerr << "[" << choices << "] " << std::flush;
        std::string line;
        if (!std::getline(std::cin, line)) return Refusal(buttons);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty()) return on_enter;
        const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(line.front())));
        for (Answer answer : answers) {
            if (LetterOf(answer) == letter) return answer;
        }
    }
}

}  // namespace

Answer ConsoleUiHost::ShowMessage(MessageKind kind, std::string_view text, std::string_view, Buttons buttons,
                                  std::optional<Answer> default_button) {
    if (kind == MessageKind::Error || kind == MessageKind::Warning) ++problems;
    std::cerr << "kitforge-cli: " << Prefix(kind) << OneLine(text) << '\n';
    if (buttons != Buttons::Ok && !standing_answer && ask_on_terminal && isatty(STDIN_FILENO)) {
        return AskOnTerminal(buttons, default_button);
    }
    switch (buttons) {
        case Buttons::Ok: return Answer::Ok;
        case Buttons::OkCancel: return standing_answer == Answer::Yes ? Answer::Ok : Answer::Cancel;
        case Buttons::YesNo: return standing_answer.value_or(Answer::No);
        case Buttons::YesNoCancel: return standing_answer.value_or(Answer::Cancel);
        case Buttons::RetryCancel: return Answer::Cancel;
    }
    return Answer::Cancel;
}

void ConsoleUiHost::ShowProgress(std::string_view what, std::uint64_t done, std::uint64_t total) {
    if (!show_progress) return;
    if (total > 0) {
        std::fprintf(stderr, "%.*s %llu/%llu\n", static_cast<int>(what.size()), what.data(),
                     static_cast<unsigned long long>(done), static_cast<unsigned long long>(total));
    } else {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(what.size()), what.data());
    }
}

}  // namespace kitforge::cli
