#include "setup/safe_extraction.h"

#include <fcntl.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "os/errors.h"
#include "os/file_names.h"

namespace kitforge::setup {

namespace {

// Removes the temporary file on every path unless it was renamed into place.
class TemporaryEntry {
public:
    TemporaryEntry(const Folder& folder, std::string name) : folder_(folder), name_(std::move(name)) {}
    TemporaryEntry(const TemporaryEntry&) = delete;
    TemporaryEntry& operator=(const TemporaryEntry&) = delete;
    ~TemporaryEntry() {
        if (!name_.empty()) folder_.Remove(name_);
    }
    void Keep() { name_.clear(); }

private:
    const Folder& folder_;
    std::string name_;
};

FileIdentity IdentityOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return {};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

void MakeOneFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0777) == 0) return;
    const int error = errno;
    struct stat st {};
    if (error == EEXIST && ::stat(folder.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return;
        throw InOutError("create the folder", folder, ENOTDIR);
    }
    throw InOutError("create the folder", folder, error);
}

int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*) {
    const int result = type == FTW_DP ? ::rmdir(path) : ::unlink(path);
    return result == 0 ? 0 : -1;
}

}  // namespace

void MakeFolders(const std::string& folder) {
    if (folder.empty()) return;
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
    // Make every folder from the top down, so each error names the exact folder that failed.
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        MakeOneFolder(folder.substr(0, slash));
    }
    MakeOneFolder(folder);
}

void WriteFileThroughTemporary(const std::string& folder, const std::string& name, unsigned mode,
                               const std::function<void(File&)>& fill) {
    int error = 0;
    std::optional<Folder> open = Folder::Open(folder, &error);
    if (!open) throw InOutError("create", folder + "/" + name, error);
    WriteFileThroughTemporary(InstallFolder{std::move(*open), folder}, name, mode, fill);
}

FileIdentity WriteFileThroughTemporary(const InstallFolder& folder, const std::string& name, unsigned mode,
                                       const std::function<void(File&)>& fill) {
    const std::string path = folder.folder.PathOf(name);
    static unsigned counter = 0;
    std::string temporary;
    std::optional<File> created;
    for (unsigned attempt = 0; !created; ++attempt) {
        // A short fixed name: it fits beside any file name the folder can hold.
        temporary = ".kitforge-setup-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        int error = 0;
        created = folder.folder.CreateFile(temporary, 0600, &error);
        if (!created && (error != EEXIST || attempt >= 1000)) throw InOutError("create", path, error);
    }
    TemporaryEntry guard(folder.folder, temporary);

    // The file is the one just created in the open folder, never reached again by its path.
    File& file = *created;
    const FileIdentity identity = IdentityOf(file.Descriptor());
    try {
        fill(file);
        file.Sync();
        if (const int error = SetPermissions(file, mode & ~CurrentUmask()); error != 0)
            throw InOutError("write", file.Path(), error);
        file.Close();
    } catch (const InOutError& e) {
        // The user knows the file by its final name, not by the temporary one.
        if (e.Path() != file.Path()) throw;
        throw InOutError("write", path, e.Code());
    }
    if (const int error = folder.folder.Rename(temporary, name); error != 0) throw InOutError("write", path, error);
    guard.Keep();
    return identity;
}

bool RemoveFolderTree(const std::string& folder) {
    if (folder.empty()) return true;
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return errno == ENOENT;
    return ::nftw(folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

}  // namespace kitforge::setup
