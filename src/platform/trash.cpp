#include "platform/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "os/errors.h"
#include "os/file.h"
#include "platform/file_copy.h"
#include "platform/paths.h"

namespace kitforge {

namespace {

constexpr int kMaxNameAttempts = 10000;

// Makes `folder` (and its missing parents) private to the user, as the trash wants.
void MakeFolders(const std::string& folder) {
    std::string path;
    std::size_t start = 0;
    while (start <= folder.size()) {
        std::size_t slash = folder.find('/', start);
        if (slash == std::string::npos) slash = folder.size();
        path = folder.substr(0, slash);
        if (!path.empty() && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            throw InOutError("make the folder", path, errno);
        }
        start = slash + 1;
    }
    if (!FolderExists(folder)) throw InOutError("make the folder", folder, ENOTDIR);
}

std::string AbsolutePath(const std::string& path) {
    const std::string native = NativePath(path);
    if (!native.empty() && native.front() == '/') return native;
    char buffer[4096];
    if (::getcwd(buffer, sizeof buffer) == nullptr) throw ReadError("find the current folder for", path, errno);
    std::string folder = buffer;
    if (folder.back() != '/') folder += '/';
    return folder + native;
}

std::string DeletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// True when anything, even a dangling link or a folder, stands at `path`.
bool Occupied(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string CandidateName(const std::string& name, int attempt) {
    if (attempt == 1) return name;
    return name + "." + std::to_string(attempt);
}

// Reserves a name in the trash by creating its .trashinfo file exclusively: whoever creates
// it first owns the name, so two deletions at once never pick the same one.
std::string ReserveName(const std::string& trash, const std::string& name, const std::string& original) {
    const std::string record =
        "[Trash Info]\nPath=" + PercentEncodePath(original) + "\nDeletionDate=" + DeletionDate() + "\n";
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const std::string candidate = CandidateName(name, attempt);
        const std::string info = trash + "/info/" + candidate + ".trashinfo";
        if (Occupied(trash + "/files/" + candidate)) continue;
        File file;
        try {
            file = File::CreateNew(info, 0600);
        } catch (const InOutError& error) {
            if (error.Code() == EEXIST) continue;
            throw;
        }
        try {
            file.WriteAll(record);
            file.Close();
        } catch (...) {
            ::unlink(info.c_str());
            throw;
        }
        return candidate;
    }
    throw InOutError("find a free name in the trash for", original, EEXIST);
}

// Copies `from` to the new file `to`, keeping its permission bits and modification time, then
// deletes `from`. On failure the copy is removed and `from` is untouched.
void CopyThenDelete(const std::string& from, const std::string& to) {
    struct stat info {};
    if (::stat(from.c_str(), &info) != 0) throw ReadError("read", from, errno);
    try {
        File source = File::OpenRead(from);
        File target = File::CreateNew(to, info.st_mode & 07777);
        CopyExactly(source, target, static_cast<std::uint64_t>(info.st_size));
        const timespec times[2] = {info.st_atim, info.st_mtim};
        ::futimens(target.Descriptor(), times);
        target.Sync();
        target.Close();
    } catch (...) {
        ::unlink(to.c_str());
        throw;
    }
    if (::unlink(from.c_str()) != 0) {
        const int error = errno;
        ::unlink(to.c_str());
        throw InOutError("delete", from, error);
    }
}

}  // namespace

std::string TrashFolder() {
    const char* data_home = std::getenv("XDG_DATA_HOME");
    // The base directory rules ignore a relative XDG_DATA_HOME.
    if (data_home && data_home[0] == '/') return WithoutTrailingSeparator(data_home) + "/Trash";
    const char* home = std::getenv("HOME");
    if (!home || !*home) throw Error("Cannot find the trash: neither XDG_DATA_HOME nor HOME is set");
    return WithoutTrailingSeparator(home) + "/.local/share/Trash";
}

std::string MoveToTrash(const std::string& path) {
    const std::string original = AbsolutePath(path);
    struct stat info {};
    if (::lstat(original.c_str(), &info) != 0) throw ReadError("move to the trash", path, errno);
    if (S_ISDIR(info.st_mode)) throw InOutError("move to the trash", path, EISDIR);

    const std::string trash = TrashFolder();
    MakeFolders(trash + "/files");
    MakeFolders(trash + "/info");
    const std::string name = ReserveName(trash, FileNamePart(original), original);
    const std::string target = trash + "/files/" + name;
    try {
        if (::rename(original.c_str(), target.c_str()) != 0) {
            if (errno != EXDEV || S_ISLNK(info.st_mode)) throw InOutError("move to the trash", path, errno);
            CopyThenDelete(original, target);
        }
    } catch (...) {
        ::unlink((trash + "/info/" + name + ".trashinfo").c_str());
        throw;
    }
    return name;
}

int ShellDeleteFile(const std::string& path, bool allow_undo) {
    const std::string full = FolderPart(path).empty() ? AbsolutePath(path) : NativePath(path);
    if (!FileExists(full)) return -1;
    if (!allow_undo) {
        int error = 0;
        return DeleteFile(full, &error) ? 0 : error;
    }
    try {
        MoveToTrash(full);
        return 0;
    } catch (const FileError& error) {
        return error.Code() != 0 ? error.Code() : EIO;
    } catch (const Error&) {
        return ENOENT;
    }
}

}  // namespace kitforge
