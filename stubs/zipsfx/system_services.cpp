#include "zipsfx/system_services.h"

#include <sys/statvfs.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kitforge::zipsfx {

std::string ParentFolder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

namespace {

struct termios saved_terminal {};

}  // namespace

bool HideTyping() {
    if (::tcgetattr(STDIN_FILENO, &saved_terminal) != 0) return false;
    struct termios quiet = saved_terminal;
    // Ctrl-C ends the line as a character instead of killing the program with the echo off
    // (a signal handler would restore it too, but costs the stub a 64 KiB block).
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ISIG);
    quiet.c_cc[VEOL] = kInterruptCharacter;
    return ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
}

void ShowTyping() { ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal); }

std::optional<std::uint64_t> FreeSpaceFor(const std::string& folder) {
    std::string path = folder.empty() ? "." : folder;
    for (;;) {
        struct statvfs info {};
        if (::statvfs(path.c_str(), &info) == 0) {
            return static_cast<std::uint64_t>(info.f_bavail) * static_cast<std::uint64_t>(info.f_frsize);
        }
        if (errno != ENOENT) return std::nullopt;
        const std::string parent = ParentFolder(path);
        if (parent == path) return std::nullopt;
        path = parent;
    }
}

int RunShellCommand(const std::string& command, const std::string& folder) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (::chdir(folder.c_str()) != 0) ::_exit(127);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace kitforge::zipsfx
