#include "platform/dialog_start_folder.h"

#include <cstdlib>

#include "platform/paths.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace kitforge {

std::string HomeFolder() {
    std::string home;
#ifdef _WIN32
    if (const char* profile = std::getenv("USERPROFILE")) home = profile;
#else
    if (const char* variable = std::getenv("HOME")) home = variable;
    if (home.empty()) {
        if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
            home = entry->pw_dir;
        }
    }
#endif
    if (home.empty()) return home;
    return WithoutTrailingSeparator(home) + "/";
}

std::string DialogStartFolder(std::string_view script_file_name) {
    const std::string folder = FolderPart(script_file_name);
    return folder.empty() ? HomeFolder() : folder;
}

}  // namespace kitforge
