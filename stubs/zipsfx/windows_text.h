#pragma once
// Windows only: the stub's paths are UTF-8, the Windows API's UTF-16. Every path is converted
// here on its way to a W function, and every system message on its way back.
#ifdef _WIN32

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace kitforge::zipsfx {

std::wstring WidePath(std::string_view utf8);
std::string Utf8Text(std::wstring_view wide);
// The arguments after the program name, from the UTF-16 command line, as UTF-8 (the narrow
// argv holds the ANSI code page, which cannot hold every file name). Also sets the console
// to show UTF-8 output.
std::vector<std::string> Utf8Arguments();
// "cannot <action> <path>: <the system's reason>".
std::string WindowsFailure(const std::string& action, const std::string& path, DWORD code);

}  // namespace kitforge::zipsfx

#endif
