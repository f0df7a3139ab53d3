#include "platform/program_arguments.h"
#include "os/win32_api.h"

#include <shellapi.h>

namespace kitforge {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) arguments.push_back(Utf8Text(wide[i]));
    LocalFree(wide);
    return arguments;
}

}  // namespace kitforge
