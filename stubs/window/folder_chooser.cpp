#include "window/folder_chooser.h"

#include <sys/stat.h>
#include <unistd.h>

#include <FL/Fl_File_Chooser.H>

#include <climits>

namespace kitforge::window {

namespace {

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string CurrentFolder() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string("/");
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string AbsoluteFolder(const std::string& folder) {
    if (folder.empty() || folder.front() == '/') return folder;
    const std::string current = CurrentFolder();
    return current == "/" ? "/" + folder : current + "/" + folder;
}

std::string NearestExistingFolder(const std::string& folder) {
    std::string path = WithoutTrailingSlashes(AbsoluteFolder(folder));
    if (path.empty()) return CurrentFolder();
    while (!IsFolder(path)) {
        const std::string::size_type slash = path.rfind('/');
        if (slash == std::string::npos || slash == 0) return "/";
        path = WithoutTrailingSlashes(path.substr(0, slash));
    }
    return path;
}

std::optional<std::string> ChooseFolder(const std::string& title, const std::string& folder) {
    const std::string start = NearestExistingFolder(folder) + "/";
    const char* chosen = fl_dir_chooser(title.c_str(), start.c_str(), 0);
    if (chosen == nullptr || *chosen == '\0') return std::nullopt;
    return WithoutTrailingSlashes(AbsoluteFolder(chosen));
}

}  // namespace kitforge::window
