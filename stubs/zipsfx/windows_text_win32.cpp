#include "zipsfx/windows_text.h"

#include <shellapi.h>

#include "os/native_path.h"

namespace kitforge::zipsfx {

std::vector<std::string> Utf8Arguments() {
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(Utf8Text(wide[i]));
    LocalFree(wide);
    return arguments;
}

std::string WindowsFailure(const std::string& action, const std::string& path, DWORD code) {
    return "cannot " + action + " " + DisplayPath(path) + ": " + WindowsErrorText(code);
}

}  // namespace kitforge::zipsfx
