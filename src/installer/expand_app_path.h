#pragma once
// Source paths of a build script may start from the script's own folder through the token
// "%apppath%", so that a script and its files can move together.

#include <string>
#include <string_view>

namespace kitforge {

// Replaces every "%apppath%" (exact letter case) by `folder`; the inserted text is not searched
// again. Then every run of path separators ("\" and, on this platform, "/" too, in any mix)
// becomes its first character, so "%apppath%\files\a.txt" with the folder "/proj/" gives
// "/proj/files\a.txt".
std::string ExpandAppPath(std::string_view path, std::string_view folder);

}  // namespace kitforge
