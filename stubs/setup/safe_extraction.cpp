#include "setup/safe_extraction.h"

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
class TemporaryName {
  public:
    explicit TemporaryName(std::string path) : path_(std::move(path)) {}
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    ~TemporaryName() {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    void Keep() { path_.clear(); }

  private:
    std::string path_;
};

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
    const std::string path = folder + "/" + name;
    // A short fixed name: it fits beside any file name the folder can hold.
    std::string pattern = folder + "/.kitforge-setup-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0)
        throw InOutError("create", path, errno);
    ::close(fd);
    const std::string temporary(buffer.data());
    TemporaryName guard(temporary);

    try {
        File file = File::OpenReadWrite(temporary);
        fill(file);
        file.Sync();
        if (::fchmod(file.Descriptor(), static_cast<mode_t>(mode) & ~CurrentUmask()) != 0) {
            throw InOutError("write", temporary, errno);
        }
        file.Close();
    } catch (const InOutError& e) {
        // The user knows the file by its final name, not by the temporary one.
        if (e.Path() != temporary)
            throw;
        throw InOutError("write", path, e.Code());
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        throw InOutError("write", path, errno);
    guard.Keep();
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
