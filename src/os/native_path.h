#pragma once
// Scripts and users write paths the Windows way ("%apppath%\files\a.txt"); the system's file
// calls here take them in their own form, and messages show them in the form the user of this
// system reads.

#include <string>
#include <string_view>

namespace kitforge {

// The path as this platform's file calls want it: every "\" becomes "/". This is the one
// place where a script's path turns into a native one; file opening goes through it.
std::string NativePath(std::string_view path);

// A path as a Windows user reads it: every "/" becomes "\". The program keeps "/" inside
// (joined paths, the installer's folders), which Windows takes but its users do not write.
std::string WindowsDisplayPath(std::string_view path);

// A path as it is shown in a message on this system: WindowsDisplayPath on Windows; elsewhere
// exactly as it was written, since a "\" there may be part of a file name.
std::string DisplayPath(std::string_view path);

}  // namespace kitforge
