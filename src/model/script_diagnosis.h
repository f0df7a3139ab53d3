#pragma once
// What a file holds before the editor shows it: whether it is a build script at all, and which
// of its lines the reader cannot turn into anything. The reader itself never complains (the
// builder reads the same files and must take what it is given), so the editor asks this
// before it opens a file and tells the user what a save would drop.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kitforge {

enum class ScriptVerdict {
    Script,            // text with an [info] or [script] section
    NulBeforeSection,  // a NUL byte comes before any section: a binary file, or UTF-16 text
    NotText,           // control bytes that no text editor writes
    NoSection,         // text, but neither an [info] nor a [script] section
};

struct UnreadLine {
    std::size_t number = 0;  // counted from 1, with the line breaks the reader knows
    std::string text;        // the line's bytes as in the file

    bool operator==(const UnreadLine&) const = default;
};

struct ScriptDiagnosis {
    ScriptVerdict verdict = ScriptVerdict::Script;
    // Lines whose text, or part of it, the project will not hold: unknown words, entries that
    // read as an empty row or lose text (an unclosed quote, words after the last quote), keys
    // the reader does not know, a "compressed=" that is neither 0 nor 1. Empty lines, section
    // headers and comments (";" or "#") are not listed.
    std::vector<UnreadLine> unread_lines;
    // The reader stops at the first NUL byte: the line that holds it, when text follows it.
    std::optional<std::size_t> cut_at_line;
};

ScriptDiagnosis DiagnoseScript(std::string_view text);

// Why a file is not a build script, to follow "it": "has no [info] or [script] section".
// Empty for ScriptVerdict::Script.
std::string_view VerdictReason(ScriptVerdict verdict);

// True when a script entry's value reads back whole: ParseCommand gives a command whose text
// form holds the same characters, blanks outside quotes aside.
bool EntryValueIsKept(std::string_view value);

}  // namespace kitforge
