// The free space of a folder and the command after extraction, on Windows. The command line
// goes to the command interpreter (%ComSpec%, else cmd.exe) as "/c <command>".
#include <cstdio>
#include <vector>

#include "zipsfx/system_services.h"
#include "zipsfx/windows_text.h"

namespace kitforge::zipsfx {

std::string ParentFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    // "C:\file" lies in the root "C:\", not in "C:".
    if (slash == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, slash);
}

namespace {

DWORD saved_console_mode = 0;

}  // namespace

bool HideTyping() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &saved_console_mode)) return false;
    // Ctrl-C stays a signal here: the console gets its mode back when the program ends.
    return SetConsoleMode(input, saved_console_mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
}

void ShowTyping() { SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), saved_console_mode); }

std::optional<std::uint64_t> FreeSpaceFor(const std::string& folder) {
    std::string path = folder.empty() ? "." : folder;
    for (;;) {
        ULARGE_INTEGER available{};
        if (GetDiskFreeSpaceExW(WidePath(path).c_str(), &available, nullptr, nullptr)) return available.QuadPart;
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) return std::nullopt;
        const std::string parent = ParentFolder(path);
        if (parent == path) return std::nullopt;
        path = parent;
    }
}

int RunShellCommand(const std::string& command, const std::string& folder) {
    std::wstring shell(MAX_PATH + 1, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"ComSpec", shell.data(), static_cast<DWORD>(shell.size()));
    shell = length > 0 && length < shell.size() ? shell.substr(0, length) : std::wstring(L"cmd.exe");
    std::wstring line = L"\"" + shell + L"\" /c " + WidePath(command);
    std::vector<wchar_t> writable(line.begin(), line.end());
    writable.push_back(L'\0');

    std::fflush(nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        folder.empty() ? nullptr : WidePath(folder).c_str(), &startup, &process)) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    const bool known = GetExitCodeProcess(process.hProcess, &code) != 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return known ? static_cast<int>(code) : -1;
}

}  // namespace kitforge::zipsfx
