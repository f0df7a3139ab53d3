#include "model/script_diagnosis.h"

#include <array>

#include "model/command_text.h"
#include "model/script_file.h"

namespace kitforge {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (UpperAscii(text[i]) != upper[i]) return false;
    }
    return true;
}

bool IsScriptSection(std::string_view line) {
    const std::string_view trimmed = Trimmed(line);
    return EqualsIgnoringCase(trimmed, "[INFO]") || EqualsIgnoringCase(trimmed, "[SCRIPT]");
}

// Text editors write tabs, line breaks, form feeds and the old end-of-file mark; other control
// bytes mean the file is not text.
bool IsTextByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 32 || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || byte == 0x1A;
}

// The value with the blanks outside double quotes taken out: the writer's single blanks and a
// hand-typed double blank say the same.
std::string WithoutBlanksOutsideQuotes(std::string_view value) {
    std::string kept;
    bool quoted = false;
    for (const char c : value) {
        if (c == '"') quoted = !quoted;
        if (quoted || c == '"' || !IsBlank(c)) kept += c;
    }
    return kept;
}

bool IsKeptFieldLine(std::string_view line) {
    constexpr std::string_view kCompressed = "COMPRESSED=";
    if (line.size() < kCompressed.size() || !EqualsIgnoringCase(line.substr(0, kCompressed.size()), kCompressed)) {
        return true;
    }
    // Anything but 1 reads as off: "yes" or "1 " would silently turn compression off.
    const std::string_view value = line.substr(kCompressed.size());
    return value.empty() || value == "0" || value == "1";
}

bool IsKeptLine(std::string_view line) {
    const std::string_view trimmed = Trimmed(line);
    if (trimmed.empty() || trimmed.front() == '[' || trimmed.front() == ';' || trimmed.front() == '#') return true;
    switch (ScriptLineRoleOf(line)) {
        case ScriptLineRole::Field: return IsKeptFieldLine(line);
        case ScriptLineRole::Entry: return EntryValueIsKept(line.substr(line.find('=') + 1));
        case ScriptLineRole::Ignored: break;
    }
    return false;
}

// The number of the line that holds the byte at `offset`.
std::size_t LineNumberAt(std::string_view text, std::size_t offset) {
    const std::string_view before = text.substr(0, offset);
    const bool at_line_start = before.empty() || before.back() == '\n' || before.back() == '\r';
    return ScriptLines(before).size() + (at_line_start ? 1 : 0);
}

bool HoldsTextAfter(std::string_view text, std::size_t offset) {
    for (std::size_t i = offset; i < text.size(); ++i) {
        if (text[i] != '\0' && !IsBlank(text[i])) return true;
    }
    return false;
}

ScriptVerdict VerdictOf(std::string_view read, bool cut) {
    bool has_section = false;
    for (const std::string_view line : ScriptLines(read)) has_section = has_section || IsScriptSection(line);
    if (cut && !has_section) return ScriptVerdict::NulBeforeSection;
    for (const char c : read) {
        if (!IsTextByte(c)) return ScriptVerdict::NotText;
    }
    return has_section ? ScriptVerdict::Script : ScriptVerdict::NoSection;
}

}  // namespace

bool EntryValueIsKept(std::string_view value) {
    const auto formatted = FormatCommandValue(ParseCommand(value));
    return formatted && WithoutBlanksOutsideQuotes(*formatted) == WithoutBlanksOutsideQuotes(value);
}

ScriptDiagnosis DiagnoseScript(std::string_view text) {
    ScriptDiagnosis diagnosis;
    const auto nul = text.find('\0');
    const std::string_view read = nul == std::string_view::npos ? text : text.substr(0, nul);
    diagnosis.verdict = VerdictOf(read, nul != std::string_view::npos);
    if (nul != std::string_view::npos && HoldsTextAfter(text, nul)) diagnosis.cut_at_line = LineNumberAt(text, nul);
    const std::vector<std::string_view> lines = ScriptLines(read);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!IsKeptLine(lines[i])) diagnosis.unread_lines.push_back({i + 1, std::string(lines[i])});
    }
    return diagnosis;
}

std::string_view VerdictReason(ScriptVerdict verdict) {
    switch (verdict) {
        case ScriptVerdict::Script: break;
        case ScriptVerdict::NulBeforeSection: return "holds NUL bytes before any section, as binary files do";
        case ScriptVerdict::NotText: return "holds control bytes, so it is not text";
        case ScriptVerdict::NoSection: return "has no [info] or [script] section";
    }
    return {};
}

}  // namespace kitforge
