#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "file_system.h"

namespace zipdll {

PathState ReadPathInfo(const std::string& path, PathInfo& info, std::string* reason) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (reason != nullptr) *reason = std::strerror(errno);
        return errno == ENOENT ? PathState::kMissing : PathState::kFailed;
    }
    info.is_directory = S_ISDIR(st.st_mode);
    info.is_regular = S_ISREG(st.st_mode);
    info.size = static_cast<std::uint64_t>(st.st_size);
    info.mtime = st.st_mtime;
    info.mode = static_cast<std::uint32_t>(st.st_mode);
    info.writable = (st.st_mode & S_IWUSR) != 0;
    info.identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return PathState::kFound;
}

bool ListFolderNames(const std::string& folder, std::vector<std::string>& names) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return false;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(dir);
    return true;
}

std::string RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? std::string() : std::string(std::strerror(errno));
}

std::string SetModificationTime(const std::string& path, std::time_t time) {
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time;
    times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0 ? std::string() : std::string(std::strerror(errno));
}

std::optional<std::uint64_t> FreeBytes(const std::string& folder) {
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

FolderRemoval RemoveEmptyFolder(const std::string& path, std::string& reason) {
    if (::rmdir(path.c_str()) == 0) return FolderRemoval::kRemoved;
    if (errno == ENOTEMPTY || errno == EEXIST) return FolderRemoval::kNotEmpty;
    reason = std::strerror(errno);
    return FolderRemoval::kFailed;
}

}  // namespace zipdll
