#pragma once
// The text form of one command: the value of its entry in the build-script file's script
// section, and the rules that read such a value back.

#include <optional>
#include <string>
#include <string_view>

#include "model/build_script.h"

namespace kitforge {

// The value that stands for a command in the file ("extract "..., "quit "); nothing for None.
std::optional<std::string> FormatCommandValue(const ScriptCommand& command);

// The whole line: the position in decimal (counted from 1), "=", the value. Nothing for a
// None command, whose position is used up all the same.
std::optional<std::string> FormatCommand(const ScriptCommand& command, int position);

// The command for an entry's value (the text after the first "="). Keywords are matched at
// the first character, lower case only, each with its one trailing blank; anything else is
// a None command.
ScriptCommand ParseCommand(std::string_view value);

// The n-th double-quoted group of a text (n from 1). Quotes pair up from the start; with
// fewer than n groups the last group found is given, with none an empty text.
std::string QuotedParameter(std::string_view text, int n);

// A Shortcut's Parameter2: the program and the arguments, each in double quotes, one blank
// between them. Empty arguments still give the second pair of quotes.
std::string ShortcutTarget(std::string_view program, std::string_view arguments);

}  // namespace kitforge
