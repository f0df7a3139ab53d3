#include "zipsfx/command_program.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "zipsfx/entry_names.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

std::string CommandToRun(const std::string& command_line, const std::string& target,
                         const std::vector<FileIdentity>& written) {
#ifdef _WIN32
    // The Windows command interpreter looks in the current folder (the target) first.
    (void)target;
    (void)written;
    return command_line;
#else
    const std::string first = command_line.substr(0, command_line.find_first_of(" \t"));
    if (first.empty() || first.front() == '/') return command_line;
    const std::string path = (target.empty() || target.back() == '/' ? target : target + "/") + first;
    auto refuse = [&](const std::string& why) -> std::string {
        throw SfxError(
            "the command \"" + Printable(command_line) + "\" was not run: " + PrintablePath(path) + " " + why,
            FailureKind::CommandFailed);
    };
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return command_line;  // not in the target: the shell finds it
        return refuse(std::string("cannot be looked at (") + std::strerror(errno) + ")");
    }
    if (S_ISDIR(info.st_mode)) return command_line;
    const FileIdentity found{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    if (std::find(written.begin(), written.end(), found) == written.end()) {
        return refuse("was not extracted by this run (it was there already or has been replaced since)");
    }
    return first.find('/') == std::string::npos ? "./" + command_line : command_line;
#endif
}

}  // namespace kitforge::zipsfx
