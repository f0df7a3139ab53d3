#include "cli/console_ui_host.h"

#include <cstdio>
#include <iostream>

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

}  // namespace

Answer ConsoleUiHost::ShowMessage(MessageKind kind, std::string_view text, std::string_view, Buttons buttons) {
    if (kind == MessageKind::Error || kind == MessageKind::Warning) ++problems;
    std::cerr << "kitforge-cli: " << Prefix(kind) << OneLine(text) << '\n';
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
