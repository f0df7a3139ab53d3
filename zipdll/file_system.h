#pragma once
// The few questions the library asks the file system about paths, answered by
// file_system_posix.cpp or, in the Windows build, by file_system_win32.cpp.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zipdll {

// Two paths with the same identity are the same file (hard links and folder links included).
using FileIdentity = std::pair<std::uint64_t, std::uint64_t>;

struct PathInfo {
    bool is_directory = false;
    bool is_regular = false;
    std::uint64_t size = 0;
    std::time_t mtime = 0;
    // Unix type and permission bits, as stored in an entry's attributes. Windows has none: a
    // folder is given 040755, a file 0100644, or 0100444 when it is read-only.
    std::uint32_t mode = 0;
    bool writable = true;
    FileIdentity identity;
};

enum class PathState { kFound, kMissing, kFailed };

// Follows links. On kMissing and kFailed, `reason` (when given) says why.
PathState ReadPathInfo(const std::string& path, PathInfo& info, std::string* reason = nullptr);

// The entry names of a folder without "." and "..", in no particular order; false when the
// folder cannot be read.
bool ListFolderNames(const std::string& folder, std::vector<std::string>& names);

// Empty on success, else the system's reason.
std::string RemoveFile(const std::string& path);
std::string SetModificationTime(const std::string& path, std::time_t time);

// The bytes this process may still write on the file system that holds `folder`; nothing when
// the system cannot say.
std::optional<std::uint64_t> FreeBytes(const std::string& folder);

enum class FolderRemoval { kRemoved, kNotEmpty, kFailed };
FolderRemoval RemoveEmptyFolder(const std::string& path, std::string& reason);

}  // namespace zipdll
