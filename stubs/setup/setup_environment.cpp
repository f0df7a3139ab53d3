#include "setup/setup_environment.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdlib>
#include <vector>

#include "os/file.h"

namespace kitforge::setup {

namespace {

#ifndef _WIN32
std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}
#endif

bool IsAbsolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

#ifndef _WIN32
std::string WorkingFolder() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (buffer.size() > (1u << 20)) return "/";
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}
#endif

// A user-dirs.dirs file is a few lines; anything longer is not one.
constexpr std::size_t kMaxUserDirsFileSize = 64 * 1024;

std::string ReadSmallFile(const std::string& path) {
    auto file = File::TryOpenRead(path);
    if (!file) return {};
    std::string text(kMaxUserDirsFileSize, '\0');
    text.resize(file->Read(text.data(), text.size()));
    return text;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

}  // namespace

void ApplyXdgDefaults(SetupEnvironment& environment, std::string_view xdg_data_home, std::string_view xdg_config_home) {
    environment.data_home = IsAbsolute(xdg_data_home)  ? std::string(xdg_data_home)
                            : environment.home.empty() ? std::string()
                                                       : environment.home + "/.local/share";
    environment.config_home = IsAbsolute(xdg_config_home) ? std::string(xdg_config_home)
                              : environment.home.empty()  ? std::string()
                                                          : environment.home + "/.config";
}

#ifndef _WIN32
// Windows: setup_environment_reader_win32.cpp.
SetupEnvironment ReadSetupEnvironment() {
    SetupEnvironment environment;
    environment.home = Variable("HOME");
    while (environment.home.size() > 1 && environment.home.back() == '/') environment.home.pop_back();
    ApplyXdgDefaults(environment, Variable("XDG_DATA_HOME"), Variable("XDG_CONFIG_HOME"));
    const std::string temp = Variable("TMPDIR");
    environment.temp_root = IsAbsolute(temp) ? temp : std::string("/tmp");
    environment.current_folder = WorkingFolder();
    environment.is_root = ::geteuid() == 0;
    return environment;
}
#endif

std::string UserFolderEntry(std::string_view file_text, std::string_view key, std::string_view home) {
    const std::string name = "XDG_" + std::string(key) + "_DIR";
    while (!file_text.empty()) {
        const std::size_t end = file_text.find('\n');
        std::string_view line = Trimmed(file_text.substr(0, end));
        file_text = end == std::string_view::npos ? std::string_view() : file_text.substr(end + 1);
        if (line.substr(0, name.size()) != name) continue;
        line = Trimmed(line.substr(name.size()));
        if (line.empty() || line.front() != '=') continue;
        line = Trimmed(line.substr(1));
        if (line.size() < 2 || line.front() != '"' || line.back() != '"') return {};
        const std::string_view value = line.substr(1, line.size() - 2);
        if (value.substr(0, 5) == "$HOME") {
            const std::string_view rest = value.substr(5);
            if (!rest.empty() && rest.front() != '/') return {};
            return home.empty() ? std::string() : std::string(home) + std::string(rest);
        }
        return IsAbsolute(value) ? std::string(value) : std::string();
    }
    return {};
}

std::string UserFolder(const SetupEnvironment& environment, std::string_view key, std::string_view fallback) {
    if (!environment.config_home.empty()) {
        std::string chosen =
            UserFolderEntry(ReadSmallFile(environment.config_home + "/user-dirs.dirs"), key, environment.home);
        while (chosen.size() > 1 && chosen.back() == '/') chosen.pop_back();
        if (!chosen.empty()) return chosen;
    }
    return environment.home.empty() ? std::string() : environment.home + "/" + std::string(fallback);
}

}  // namespace kitforge::setup
