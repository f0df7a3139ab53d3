#include "model/command_text.h"

#include <array>

#include "model/command_kinds.h"

namespace kitforge {

namespace {

std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    quoted += text;
    quoted += '"';
    return quoted;
}

std::string_view AfterFirstBlank(std::string_view value) {
    const auto blank = value.find(' ');
    return blank == std::string_view::npos ? std::string_view() : value.substr(blank + 1);
}

std::string_view TrimControlAndBlanks(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
    return text;
}

ScriptCommand ParseCopy(std::string_view value) {
    const std::string_view rest = AfterFirstBlank(value);
    const auto blank = rest.find(' ');
    if (blank == std::string_view::npos) return {CommandKind::Copy, "", std::string(rest)};
    return {CommandKind::Copy, std::string(rest.substr(0, blank)), std::string(rest.substr(blank + 1))};
}

ScriptCommand ParseShortcut(std::string_view value) {
    // The target starts at the opening quote of the program's group, so that the program
    // and its arguments keep their own quotes.
    const auto between = value.find("\" \"");
    std::string target = between == std::string_view::npos ? std::string() : std::string(value.substr(between + 2));
    return {CommandKind::Shortcut, QuotedParameter(value, 1), std::move(target)};
}

}  // namespace

std::optional<std::string> FormatCommandValue(const ScriptCommand& command) {
    const auto* info = FindCommandKind(command.Action);
    if (info == nullptr) return std::nullopt;
    std::string value(info->keyword);
    value += ' ';
    switch (command.Action) {
        case CommandKind::Put: value += Quoted(command.Parameter1) + " " + Quoted(command.Parameter2); break;
        case CommandKind::Execute:
        case CommandKind::Run:
        case CommandKind::CleanUp: value += command.Parameter1; break;
        case CommandKind::Copy: value += command.Parameter1 + " " + command.Parameter2; break;
        case CommandKind::Shortcut: value += Quoted(command.Parameter1) + " " + command.Parameter2; break;
        case CommandKind::Quit:
        case CommandKind::None: break;
    }
    return value;
}

std::optional<std::string> FormatCommand(const ScriptCommand& command, int position) {
    auto value = FormatCommandValue(command);
    if (!value) return std::nullopt;
    return std::to_string(position) + "=" + *value;
}

ScriptCommand ParseCommand(std::string_view value) {
    for (const auto& info : CommandKinds()) {
        const std::size_t length = info.keyword.size();
        if (value.size() <= length || value.substr(0, length) != info.keyword || value[length] != ' ') continue;
        switch (info.kind) {
            case CommandKind::Put: return {CommandKind::Put, QuotedParameter(value, 1), QuotedParameter(value, 2)};
            case CommandKind::Execute:
            case CommandKind::Run:
            case CommandKind::CleanUp: return {info.kind, std::string(AfterFirstBlank(value)), ""};
            case CommandKind::Copy: return ParseCopy(value);
            case CommandKind::Shortcut: return ParseShortcut(value);
            case CommandKind::Quit:
            case CommandKind::None: return {info.kind, "", ""};
        }
    }
    return {};
}

std::string QuotedParameter(std::string_view text, int n) {
    std::string result;
    int count = 0;
    for (auto open = text.find('"'); open != std::string_view::npos; open = text.find('"')) {
        text.remove_prefix(open + 1);
        const auto close = text.find('"');
        if (close != std::string_view::npos) {
            result.assign(text.substr(0, close));
            text.remove_prefix(close + 1);
            if (++count == n) break;
        }
        text = TrimControlAndBlanks(text);
    }
    return result;
}

std::string ShortcutTarget(std::string_view program, std::string_view arguments) {
    return Quoted(program) + " " + Quoted(arguments);
}

}  // namespace kitforge
