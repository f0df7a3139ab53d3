#include "installer/build_check.h"

#include <array>
#include <exception>

#include "formats/installer_payload.h"
#include "installer/expand_app_path.h"
#include "installer/line_list.h"
#include "model/command_text.h"
#include "os/file.h"
#include "platform/ascii_case.h"
#include "platform/paths.h"

namespace kitforge {

namespace {

constexpr std::string_view kAppPathToken = "%apppath%";

// The tokens for which the Linux installer has a launcher folder; it skips a Shortcut to any
// other token (a printer or recycle-bin folder, or a misspelt token) with a warning.
constexpr std::array<std::string_view, 14> kTokensWithLauncherFolder = {
    "DESKTOP",    "DESKTOPDIRECTORY", "COMMON_DESKTOPDIRECTORY", "PROGRAMS",
    "STARTMENU",  "COMMON_PROGRAMS",  "COMMON_STARTMENU",        "STARTUP",
    "ALTSTARTUP", "COMMON_STARTUP",   "COMMON_ALTSTARTUP",       "PERSONAL",
    "TEMPLATES",  "APPDATA",
};

// Endings with which Linux desktops hand a file to another program (an interpreter, an archive
// manager, a text editor, a package installer, Wine's batch runner) instead of running it.
constexpr std::array<std::string_view, 18> kEndingsNotRunOnLinux = {
    "sh",  "bash", "desktop", "txt", "inf", "ini", "zip", "tar", "gz",
    "tgz", "xz",   "7z",      "deb", "rpm", "msi", "bat", "cmd", "ps1",
};

bool IsDriveLetterPath(std::string_view path) {
    return path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
           path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

// A folder of the author's own machine, as opposed to a macro or a folder inside %program%: the
// installer reads "\" as a separator, so "\srv" is as absolute as "/srv".
bool IsMachinePath(std::string_view path) {
    return !path.empty() && (path.front() == '/' || path.front() == '\\' || IsDriveLetterPath(path));
}

std::string_view AfterFirstBlank(std::string_view line) {
    const auto blank = line.find(' ');
    return blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
}

std::string_view CommandWord(std::string_view line) { return line.substr(0, line.find(' ')); }

bool IsAllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

std::string LineName(const std::string& key) { return IsAllDigits(key) ? "Row " + key : "Line \"" + key + "\""; }

std::string AbsoluteTarget(const std::string& line_name, std::string_view target) {
    return line_name + ": the target " + std::string(target) +
           " is a folder of this machine, not a folder macro: the installer writes there on every machine, "
           "whatever install folder is chosen (use %program%, %common%, %system% or %wtemp%)";
}

void CheckPut(const std::string& name, const std::string& line, const std::string& script_folder,
              std::vector<std::string>& problems) {
    const std::string written = QuotedParameter(line, 1);
    const std::string source = ExpandAppPath(written, script_folder);
    if (!FileExists(source)) {
        problems.push_back(name + ": the source " + source + " does not exist");
    } else if (written.find(kAppPathToken) == std::string::npos && IsMachinePath(written)) {
        problems.push_back(name + ": the source " + written +
                           " is an absolute path, so the script builds only on this machine (files in the "
                           "script's folder are written as %apppath%...)");
    }
    const std::string target = QuotedParameter(line, 2);
    if (IsMachinePath(target)) problems.push_back(AbsoluteTarget(name, target));
}

void CheckCopy(const std::string& name, const std::string& line, std::vector<std::string>& problems) {
    // The target follows the source's first blank, as the installer reads a copy line.
    const std::string_view target = AfterFirstBlank(AfterFirstBlank(line));
    if (IsMachinePath(target)) problems.push_back(AbsoluteTarget(name, target));
}

bool HasLauncherFolderOnLinux(std::string_view token) {
    for (const auto known : kTokensWithLauncherFolder) {
        if (EqualIgnoringAsciiCase(token, known)) return true;
    }
    return false;
}

void CheckShortcut(const std::string& name, const std::string& line, InstallerPlatform platform,
                   std::vector<std::string>& problems) {
    const std::string location = QuotedParameter(line, 1);
    if (location.empty() || location.front() != '<') {
        if (IsMachinePath(location)) problems.push_back(AbsoluteTarget(name, location));
        return;
    }
    if (platform == InstallerPlatform::Windows) return;
    const auto close = location.find('>');
    const std::string token = location.substr(0, close == std::string::npos ? location.size() : close + 1);
    const std::string_view bare = std::string_view(token).substr(1, close == std::string::npos ? 0 : close - 1);
    if (close == std::string::npos || !HasLauncherFolderOnLinux(bare)) {
        problems.push_back(name + ": the Linux installer has no launcher folder for " + token +
                           " and skips this shortcut");
    }
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

}  // namespace

InstallerPlatform StubPlatform(const std::string& stub_path) {
    auto file = File::TryOpenRead(stub_path);
    if (!file) return InstallerPlatform::Unknown;
    char magic[4] = {};
    const std::size_t got = file->Read(magic, sizeof magic);
    if (got >= 4 && std::string_view(magic, 4) ==
                        "\x7F"
                        "ELF")
        return InstallerPlatform::Linux;
    if (got >= 2 && std::string_view(magic, 2) == "MZ") return InstallerPlatform::Windows;
    return InstallerPlatform::Unknown;
}

std::vector<std::string> CheckScriptLines(const IniProfile& profile, const std::string& script_folder,
                                          InstallerPlatform platform) {
    std::vector<std::string> problems;
    for (const auto& key : profile.KeyNames(kScriptSection)) {
        const std::string line = profile.String(kScriptSection, key);
        const std::string name = LineName(key);
        if (formats::IsExtractLine(line)) {
            CheckPut(name, line, script_folder, problems);
        } else if (EqualIgnoringAsciiCase(CommandWord(line), "COPY")) {
            CheckCopy(name, line, problems);
        } else if (EqualIgnoringAsciiCase(CommandWord(line), "LINK")) {
            CheckShortcut(name, line, platform, problems);
        }
    }
    return problems;
}

std::optional<std::string> CheckOutputName(std::string_view output_path, InstallerPlatform platform) {
    const std::string name = FileNamePart(output_path);
    const auto dot = name.rfind('.');
    const std::string ending = dot == std::string::npos ? std::string() : LowerAscii(name.substr(dot + 1));
    if (platform == InstallerPlatform::Windows && ending != "exe") {
        return "The output " + std::string(output_path) +
               " does not end in .exe: Windows runs the installer only by that ending";
    }
    if (platform != InstallerPlatform::Linux || ending.empty()) return std::nullopt;
    for (const auto not_run : kEndingsNotRunOnLinux) {
        if (ending == not_run) {
            return "The output " + std::string(output_path) + " ends in ." + ending +
                   ": desktops open such a file with another program instead of running the installer";
        }
    }
    return std::nullopt;
}

std::vector<std::string> CheckBuild(const std::string& script_path, const std::string& output_path,
                                    const std::string& stub_path) {
    const InstallerPlatform platform = StubPlatform(stub_path);
    std::vector<std::string> problems;
    try {
        problems = CheckScriptLines(IniProfile::Read(script_path), FolderPart(script_path), platform);
    } catch (const std::exception&) {
        // The build reads the script again and reports what is wrong with it.
        return {};
    }
    if (auto output = CheckOutputName(output_path, platform)) problems.push_back(std::move(*output));
    return problems;
}

}  // namespace kitforge
