#pragma once
// The texts the file commands show about a script file: the question before a file that is
// not a build script is opened, the list of lines the project does not hold, the save
// question that names the file, and a recent file that has gone.

#include <string>
#include <string_view>

#include "model/script_diagnosis.h"

namespace kitforge {

// No more lines than this are listed; the rest are counted.
inline constexpr std::size_t kUnreadLinesShown = 20;

// For a project without a file.
inline constexpr std::string_view kUntitledName = "Untitled";

// "<path>" is not a build script: it <reason>. ... Open it anyway?
std::string NotAScriptQuestion(std::string_view path, ScriptVerdict verdict);

// One message for every line the project does not hold, with their numbers; empty when there
// is nothing to report.
std::string UnreadLinesReport(std::string_view path, const ScriptDiagnosis& diagnosis);

// "Save changes to <file name>?", or to "Untitled" for a project without a file.
std::string SaveChangesQuestion(std::string_view script_file_name);

std::string MissingRecentFileMessage(std::string_view path);

}  // namespace kitforge
