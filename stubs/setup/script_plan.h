#pragma once
// Reads the script lines of a payload into steps before anything is carried out, so that a
// damaged installer is refused before it writes a single file: every EXTRACT line must pair
// with its file record, every stored file name must be a plain name, and every line must say
// what it needs (a program, a source, a launcher name).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "payload/payload_reader.h"

namespace kitforge::setup {

enum class CommandWord { Extract, Execute, Run, Copy, Link, Cleanup, Quit, Unknown };

struct ScriptStep {
    std::size_t line_number = 0;  // counted from 1, in script order
    std::string line;             // as stored
    CommandWord word = CommandWord::Unknown;

    std::size_t file_index = 0;      // EXTRACT: its record in Payload::files
    std::string folder;              // EXTRACT, COPY: target folder; CLEANUP: the folder (texts as written)
    std::string source;              // COPY: the file to copy
    std::vector<std::string> words;  // EXECUTE, RUN, LINK: the program and its arguments, macros unexpanded
    std::string location;            // LINK: token or folder, then the launcher's name
};

// The command word of a line: the text up to its first blank (or its end), in any letter case.
// EXTRACT counts only as the payload counts it: the word followed by a blank.
CommandWord ReadCommandWord(std::string_view line);

// The target folder of a stored EXTRACT line whose file record is named `name`. The line is
// "EXTRACT <name as written> <target>", and both may hold blanks, so the record's name tells
// where the target begins. The name as written is the record's name, or ends in "%apppath%"
// followed by it (the record holds the name after expansion). Gives false when the line does
// not name the record.
bool SplitExtractLine(std::string_view line, std::string_view name, std::string& target);

// The steps of the payload's script, in order. Throws ScriptError naming the line when a file
// record does not belong to its line, a stored name is not a plain file name, or a line lacks
// what it needs.
std::vector<ScriptStep> PlanScript(const payload::Payload& payload);

}  // namespace kitforge::setup
