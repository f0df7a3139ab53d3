#pragma once
// Splitting the texts of script lines: command lines into program and arguments, and LINK
// lines into their double-quoted groups.

#include <string>
#include <string_view>
#include <vector>

namespace kitforge::setup {

// Splits a command line into words, the way command lines of installers are written:
//  - blanks and tabs separate words, except inside double quotes;
//  - a double quote opens or closes a quoted part and is not part of the word, so
//    "C:\My App\run.sh" is one word and a"b c"d is the word ab cd;
//  - inside a quoted part, two double quotes in a row stand for one double quote;
//  - "" alone gives an empty word;
//  - a backslash is an ordinary character (it is a path separator in scripts), and an
//    unclosed quote runs to the end of the line.
std::vector<std::string> SplitCommandLine(std::string_view line);

// The double-quoted groups of a text, in order: the first double quote opens a group, the
// next closes it, and so on; text outside the groups is ignored, and an unclosed last group
// is dropped.
std::vector<std::string> QuotedGroups(std::string_view text);

}  // namespace kitforge::setup
