#pragma once
// What the installer writer reads from a build script on disk: the line list of its [script]
// section and the values of its [info] section, through the profile reader, independently of
// the editor's own loader.

#include <string>
#include <vector>

#include "platform/ini_profile.h"

namespace kitforge {

inline constexpr const char* kScriptSection = "script";
inline constexpr const char* kInfoSection = "info";

// The values of the [script] keys in file order. A key with an empty value gives no line; a
// key that occurs more than once gives one line, with the value of its first occurrence.
std::vector<std::string> ReadLineList(const IniProfile& profile);

// True when [info] compressed reads as a non-zero integer; a missing or unreadable value is 0.
bool IsCompressedBuild(const IniProfile& profile);

// The expanded source path of every EXTRACT line, in line order.
std::vector<std::string> SourcePaths(const std::vector<std::string>& lines, const std::string& script_folder);

}  // namespace kitforge
