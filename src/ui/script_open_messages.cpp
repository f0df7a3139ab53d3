#include "ui/script_open_messages.h"

#include "model/text_encoding.h"
#include "platform/paths.h"

namespace kitforge {

namespace {

constexpr std::string_view kLineBreak = "\r\n";
// Characters of a line shown; a long line is cut and marked.
constexpr std::size_t kLineCharactersShown = 72;

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// A line as the box can show it: in UTF-8 whatever the file's encoding, control bytes as
// "?", cut at a character's end.
std::string ShownLine(std::string_view bytes) {
    std::string text = IsUtf8Text(bytes) ? std::string(bytes) : Windows1252ToUtf8(bytes);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 32) c = '?';
    }
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsUtf8Continuation(text[i])) continue;
        if (++characters > kLineCharactersShown) return text.substr(0, i) + "...";
    }
    return text;
}

}  // namespace

std::string NotAScriptQuestion(std::string_view path, ScriptVerdict verdict) {
    std::string text =
        "\"" + std::string(path) + "\" is not a build script: it " + std::string(VerdictReason(verdict)) + ".";
    text += kLineBreak;
    text += kLineBreak;
    text += "Open it anyway? Saving it would replace the file with a build script.";
    return text;
}

std::string UnreadLinesReport(std::string_view path, const ScriptDiagnosis& diagnosis) {
    const auto& lines = diagnosis.unread_lines;
    if (lines.empty() && !diagnosis.cut_at_line) return {};
    std::string text = "Some of \"" + std::string(path) +
                       "\" could not be read. The project does not hold it, and saving will not keep it:";
    text += kLineBreak;
    for (std::size_t i = 0; i < lines.size() && i < kUnreadLinesShown; ++i) {
        text += kLineBreak;
        text += "Line " + std::to_string(lines[i].number) + ": " + ShownLine(lines[i].text);
    }
    if (lines.size() > kUnreadLinesShown) {
        text += kLineBreak;
        text += "... and " + std::to_string(lines.size() - kUnreadLinesShown) + " more lines.";
    }
    if (diagnosis.cut_at_line) {
        text += kLineBreak;
        text += "Line " + std::to_string(*diagnosis.cut_at_line) + " holds a NUL byte: nothing after it was read.";
    }
    return text;
}

std::string SaveChangesQuestion(std::string_view script_file_name) {
    const std::string name = script_file_name.empty() ? std::string(kUntitledName) : FileNamePart(script_file_name);
    return "Save changes to " + name + "?";
}

std::string MissingRecentFileMessage(std::string_view path) {
    return "\"" + std::string(path) + "\" no longer exists. It has been taken off the recent files.";
}

}  // namespace kitforge
