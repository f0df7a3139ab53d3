// What the installer takes from a Windows machine: the profile folder as the home, the roaming
// application data as the data folder, the temporary folder, the program and system folders,
// and whether the installer runs elevated. Paths are kept with "/" like every path the
// installer builds; Windows takes them as they are.
#include <algorithm>
#include <vector>

#include "os/win32_api.h"
#include "setup/setup_environment.h"

namespace kitforge::setup {

namespace {

std::string WithSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    while (path.size() > 3 && path.back() == '/') path.pop_back();
    return path;
}

std::string Variable(const wchar_t* name) {
    const DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
    if (length == 0) return {};
    std::vector<wchar_t> buffer(length);
    const DWORD got = GetEnvironmentVariableW(name, buffer.data(), length);
    if (got == 0 || got >= length) return {};
    return WithSlashes(Utf8Text(std::wstring_view(buffer.data(), got)));
}

std::string WorkingFolder() {
    const DWORD length = GetCurrentDirectoryW(0, nullptr);
    std::vector<wchar_t> buffer(length + 1);
    const DWORD got = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (got == 0 || got >= buffer.size()) return "C:/";
    return WithSlashes(Utf8Text(std::wstring_view(buffer.data(), got)));
}

std::string TempFolder() {
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD got = GetTempPathW(MAX_PATH + 1, buffer);
    if (got == 0 || got > MAX_PATH + 1) return {};
    return WithSlashes(Utf8Text(std::wstring_view(buffer, got)));
}

std::string SystemFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT got = GetSystemDirectoryW(buffer, MAX_PATH + 1);
    if (got == 0 || got > MAX_PATH) return {};
    return WithSlashes(Utf8Text(std::wstring_view(buffer, got)));
}

bool RunsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool elevated = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
                          elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

}  // namespace

SetupEnvironment ReadSetupEnvironment() {
    SetupEnvironment environment;
    environment.home = Variable(L"USERPROFILE");
    environment.data_home = Variable(L"APPDATA");
    environment.temp_root = TempFolder();
    environment.current_folder = WorkingFolder();
    if (environment.temp_root.empty()) environment.temp_root = environment.current_folder;
    environment.is_root = RunsElevated();
    environment.local_data = Variable(L"LOCALAPPDATA");
    environment.program_files = Variable(L"ProgramFiles");
    environment.common_data = Variable(L"ProgramData");
    environment.system_folder = SystemFolder();
    return environment;
}

}  // namespace kitforge::setup
