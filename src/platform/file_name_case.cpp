#include "platform/file_name_case.h"

#ifndef _WIN32
#include <dirent.h>
#endif

#include <memory>

#include "platform/ascii_case.h"
#include "os/file.h"
#include "platform/paths.h"

namespace kitforge {

std::optional<std::string> FindFileIgnoringCase(const std::string& path) {
    if (path.empty()) return std::nullopt;
    if (FileExists(path)) return path;
#ifdef _WIN32
    // Windows' own file system ignores letter case already.
    return std::nullopt;
#else
    const std::string folder = FolderPart(path);
    const std::string name = FileNamePart(path);
    if (name.empty()) return std::nullopt;
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.empty() ? "." : NativePath(folder).c_str()),
                                                      ::closedir);
    if (!listing) return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string candidate = entry->d_name;
        if (!EqualIgnoringAsciiCase(candidate, name) || (found && candidate >= FileNamePart(*found))) continue;
        if (FileExists(folder + candidate)) found = folder + candidate;
    }
    return found;
#endif
}

}  // namespace kitforge
