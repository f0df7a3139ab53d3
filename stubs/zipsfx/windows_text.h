#pragma once
// Windows only: the stub's paths are UTF-8, the Windows API's UTF-16. Paths and messages are
// converted by the OS layer; here are the stub's command line and its failure texts.
#ifdef _WIN32

#include <string>
#include <vector>

#include "os/win32_api.h"

namespace kitforge::zipsfx {

using kitforge::Utf8Text;
using kitforge::WidePath;
// The arguments after the program name, from the UTF-16 command line, as UTF-8 (the narrow
// argv holds the ANSI code page, which cannot hold every file name). Also sets the console
// to show UTF-8 output.
std::vector<std::string> Utf8Arguments();
// "cannot <action> <path>: <the system's reason>".
std::string WindowsFailure(const std::string& action, const std::string& path, DWORD code);

}  // namespace kitforge::zipsfx

#endif
