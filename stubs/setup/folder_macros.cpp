#include "setup/folder_macros.h"

#include <array>

#include "os/errors.h"

namespace kitforge::setup {

namespace {

// Leaves room for the temporary name that extraction puts beside a file in the same folder.
constexpr std::size_t kMaxFolderNameBytes = 200;

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiLower(text[i]) != prefix[i]) return false;
    }
    return true;
}

struct Macro {
    std::string_view text;  // lower case
    std::string MacroFolders::*folder;
};

constexpr std::array<Macro, 4> kMacros = {{
    {"%program%", &MacroFolders::program},
    {"%wtemp%", &MacroFolders::wtemp},
    {"%common%", &MacroFolders::common},
    {"%system%", &MacroFolders::system},
}};

const Macro* MacroAt(std::string_view text) {
    for (const auto& macro : kMacros) {
        if (StartsWithIgnoringCase(text, macro.text)) return &macro;
    }
    return nullptr;
}

std::string AbsoluteFolder(std::string_view path, const std::string& base) {
    if (IsAbsoluteFolderPath(path)) return TidyPath(path);
    return TidyPath(base + "/" + std::string(path));
}

const std::string& RequireHome(const SetupEnvironment& environment) {
    if (!IsAbsoluteFolderPath(environment.home)) {
        throw Error(
            "the home folder is unknown (HOME is not set to an absolute path); name the install "
            "folder "
            "with --target");
    }
    return environment.home;
}

}  // namespace

std::string SafeFolderName(std::string_view title) {
    std::string name;
    for (char c : title) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unsafe = c == '/' || c == '\\' || c == ':' || byte < 0x20 || byte == 0x7F;
        name += unsafe ? '_' : c;
    }
    std::size_t start = 0;
    while (start < name.size() && (name[start] == ' ' || name[start] == '.')) ++start;
    name.erase(0, start);
    if (name.size() > kMaxFolderNameBytes) {
        std::size_t cut = kMaxFolderNameBytes;
        // Never cut a UTF-8 sequence in half: step back over continuation bytes.
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name.empty() ? std::string("Setup") : name;
}

MacroFolders DefaultMacroFolders(const SetupEnvironment& environment, std::string_view title, std::string_view target,
                                 InstallScope scope) {
    MacroFolders folders;
#ifdef _WIN32
    // Windows: the system's program and data folders (docs/windows.md).
    if (scope == InstallScope::SystemWide) {
        folders.common = TidyPath(environment.common_data);
        folders.system = TidyPath(environment.system_folder);
    }
    // The user's own programs live under %LOCALAPPDATA%\Programs, as per-user installers do.
    const auto local_programs = [&] {
        const std::string local = IsAbsoluteFolderPath(environment.local_data)
                                      ? TidyPath(environment.local_data)
                                      : RequireHome(environment) + "/AppData/Local";
        return local + "/Programs";
    };
    if (scope != InstallScope::SystemWide) {
        const std::string& home = RequireHome(environment);
        folders.common = environment.data_home.empty() ? home + "/AppData/Roaming" : TidyPath(environment.data_home);
        folders.system = local_programs() + "/bin";
    }
    if (!target.empty()) {
        folders.program = AbsoluteFolder(target, environment.current_folder);
    } else if (scope == InstallScope::SystemWide) {
        folders.program = TidyPath(environment.program_files) + "/" + SafeFolderName(title);
    } else {
        folders.program = local_programs() + "/" + SafeFolderName(title);
    }
    return folders;
#endif
    if (scope == InstallScope::SystemWide) {
        folders.common = "/usr/local/share";
        folders.system = "/usr/local/bin";
    } else {
        const std::string& home = RequireHome(environment);
        folders.common = environment.data_home.empty() ? home + "/.local/share" : TidyPath(environment.data_home);
        folders.system = home + "/.local/bin";
    }
    if (!target.empty()) {
        folders.program = AbsoluteFolder(target, environment.current_folder);
    } else if (scope == InstallScope::SystemWide) {
        folders.program = "/opt/" + SafeFolderName(title);
    } else {
        folders.program = RequireHome(environment) + "/.local/opt/" + SafeFolderName(title);
    }
    return folders;
}

std::string ExpandFolderMacros(std::string_view text, const MacroFolders& folders) {
    std::string result;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '%') {
            if (const Macro* macro = MacroAt(text.substr(i))) {
                result += folders.*(macro->folder);
                i += macro->text.size();
                continue;
            }
        }
        result += text[i++];
    }
    return result;
}

bool StartsWithFolderMacro(std::string_view text) { return MacroAt(text) != nullptr; }

std::string TidyPath(std::string_view path) {
    std::string tidy;
    tidy.reserve(path.size());
    for (char c : path) {
        if (c == '\\') c = '/';
        if (c == '/' && !tidy.empty() && tidy.back() == '/') continue;
        tidy += c;
        // Drop a "./" part: "a/./b" and "./b" lose their "./".
        if (c == '/' && tidy.size() >= 2 && tidy[tidy.size() - 2] == '.' &&
            (tidy.size() == 2 || tidy[tidy.size() - 3] == '/')) {
            tidy.resize(tidy.size() - 2);
        }
    }
    if (tidy.size() >= 2 && tidy.back() == '.' && tidy[tidy.size() - 2] == '/') tidy.pop_back();
    if (tidy.size() > 1 && tidy.back() == '/') tidy.pop_back();
    return tidy;
}

std::string ResolveScriptPath(std::string_view text, const MacroFolders& folders) {
    const std::string expanded = TidyPath(ExpandFolderMacros(text, folders));
    if (IsAbsoluteFolderPath(expanded)) return expanded;
    if (expanded.empty() || expanded == ".") return folders.program;
    return TidyPath(folders.program + "/" + expanded);
}

}  // namespace kitforge::setup
