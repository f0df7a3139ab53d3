#pragma once
// The build-script file: an INI-style text with an [info] section of the five project
// fields (and, when set, the version and the publisher) and a [script] section of numbered
// command entries, every line ended by CR LF.

#include <string>
#include <string_view>
#include <vector>

#include "model/build_script.h"

namespace kitforge {

// The exact bytes that WriteScriptFile puts in the file.
std::string FormatScriptFile(const BuildScript& script);

// Writes the file. The new text goes to a temporary file beside it that replaces the old
// file only once it is completely on the disk, so a failed save (a full disk, say) leaves the
// previous file byte for byte as it was. Throws InOutError naming the file and the reason.
void WriteScriptFile(const std::string& path, const BuildScript& script);

// Reads a build script from its text, line by line and ignoring the sections; nothing in
// the text is an error. The text ends at its first NUL byte.
BuildScript ParseScriptFile(std::string_view text);

// The lines of a text as the reader sees them: broken at CR LF, a lone CR and a lone LF; a
// break at the very end gives no further empty line. The NUL rule is the caller's.
std::vector<std::string_view> ScriptLines(std::string_view text);

// What the reader makes of one line: one of the project fields, a script entry (a
// whole number of 0 or more before the first "="), or nothing at all.
enum class ScriptLineRole { Field, Entry, Ignored };
ScriptLineRole ScriptLineRoleOf(std::string_view line);

// The whole file's bytes, read as ReadScriptFile reads them. Throws ReadError naming the file
// and the reason.
std::string ReadScriptText(const std::string& path);

// Reads the whole file and parses it. Throws ReadError naming the file and the reason.
BuildScript ReadScriptFile(const std::string& path);

}  // namespace kitforge
