#pragma once
// Scripts and users write paths the Windows way ("%apppath%\files\a.txt"); the system's file
// calls here take them in their own form.

#include <string>
#include <string_view>

namespace kitforge {

// The path as this platform's file calls want it: every "\" becomes "/". This is the one
// place where a script's path turns into a native one; file opening goes through it.
std::string NativePath(std::string_view path);

}  // namespace kitforge
