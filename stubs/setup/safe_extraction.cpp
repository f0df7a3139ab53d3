#include "setup/safe_extraction.h"

#include <fcntl.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/errors.h"

namespace kitforge::setup {

namespace {

constexpr std::string_view kElfMagic =
    "\x7F"
    "ELF";
constexpr std::string_view kScriptMagic = "#!";

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Removes the temporary file on every path unless it was renamed into place.
class TemporaryEntry {
  public:
    TemporaryEntry(int folder, std::string name) : folder_(folder), name_(std::move(name)) {}
    TemporaryEntry(const TemporaryEntry&) = delete;
    TemporaryEntry& operator=(const TemporaryEntry&) = delete;
    ~TemporaryEntry() {
        if (!name_.empty())
            ::unlinkat(folder_, name_.c_str(), 0);
    }
    void Keep() { name_.clear(); }

  private:
    int folder_;
    std::string name_;
};

FileIdentity IdentityOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return {};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

void MakeOneFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0777) == 0)
        return;
    const int error = errno;
    struct stat st {};
    if (error == EEXIST && ::stat(folder.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return;
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
    if (folder.empty())
        return;
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return;
    // Make every folder from the top down, so each error names the exact folder that failed.
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        MakeOneFolder(folder.substr(0, slash));
    }
    MakeOneFolder(folder);
}

void WriteFileThroughTemporary(const std::string& folder, const std::string& name, unsigned mode,
                               const std::function<void(File&)>& fill) {
    InstallFolder open{OwnedDescriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
                       folder};
    if (open.descriptor.Get() < 0)
        throw InOutError("create", folder + "/" + name, errno);
    WriteFileThroughTemporary(open, name, mode, fill);
}

FileIdentity WriteFileThroughTemporary(const InstallFolder& folder, const std::string& name,
                                       unsigned mode, const std::function<void(File&)>& fill) {
    const std::string prefix = folder.path == "/" ? std::string("/") : folder.path + "/";
    const std::string path = prefix + name;
    const int at = folder.descriptor.Get();
    static unsigned counter = 0;
    std::string temporary;
    OwnedDescriptor created;
    for (unsigned attempt = 0; created.Get() < 0; ++attempt) {
        // A short fixed name: it fits beside any file name the folder can hold.
        temporary = ".kitforge-setup-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        created = OwnedDescriptor(::openat(at, temporary.c_str(),
                                           O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (created.Get() < 0 && (errno != EEXIST || attempt >= 1000))
            throw InOutError("create", path, errno);
    }
    TemporaryEntry guard(at, temporary);
    const std::string temporary_path = prefix + temporary;

    FileIdentity identity;
    try {
        // The file layer opens files by path; the identity shows that the path still leads to
        // the file just created in the open folder, and not to one elsewhere.
        File file = File::OpenReadWrite(temporary_path);
        identity = IdentityOf(file.Descriptor());
        if (identity == FileIdentity{} || identity != IdentityOf(created.Get()))
            throw InOutError("write", path, 0, "its folder was replaced while it was written");
        fill(file);
        file.Sync();
        if (::fchmod(file.Descriptor(), static_cast<mode_t>(mode) & ~CurrentUmask()) != 0) {
            throw InOutError("write", temporary_path, errno);
        }
        file.Close();
    } catch (const InOutError& e) {
        // The user knows the file by its final name, not by the temporary one.
        if (e.Path() != temporary_path)
            throw;
        throw InOutError("write", path, e.Code());
    }
    if (::renameat(at, temporary.c_str(), at, name.c_str()) != 0)
        throw InOutError("write", path, errno);
    guard.Keep();
    return identity;
}

bool LooksLikeProgram(std::string_view head) {
    return head.substr(0, kScriptMagic.size()) == kScriptMagic ||
           head.substr(0, kElfMagic.size()) == kElfMagic;
}

unsigned ExtractedFileMode(std::string_view head) {
    return LooksLikeProgram(head) ? 0755u : 0644u;
}

bool RemoveFolderTree(const std::string& folder) {
    if (folder.empty())
        return true;
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0)
        return errno == ENOENT;
    return ::nftw(folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

}  // namespace kitforge::setup
