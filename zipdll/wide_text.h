#pragma once
// Windows only: the library's texts are UTF-8, the Windows API's are UTF-16. Every path is
// converted here, on its way to a W function, and every system message on its way back.
#ifdef _WIN32

#include <windows.h>

#include <string>

namespace zipdll {

std::wstring WidePath(const std::string& utf8);
std::string Utf8Text(const std::wstring& wide);
// The system's description of a GetLastError() code.
std::string WindowsErrorText(DWORD code);

}  // namespace zipdll

#endif
