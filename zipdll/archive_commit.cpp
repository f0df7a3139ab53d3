#include "archive_commit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace zipdll {

namespace {

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t CurrentUmask() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// The archive keeps its read, write and execute bits; a new one gets what a new file would
// get. The set-user-ID, set-group-ID and sticky bits are never carried over: the new file
// belongs to whoever runs the Add, so an executable archive prepared by another user would
// otherwise become a program that runs with this user's rights.
mode_t ArchiveMode(const std::string& archive) {
    struct stat st {};
    if (::stat(archive.c_str(), &st) == 0) return st.st_mode & 0777;
    return 0666 & ~CurrentUmask();
}

void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

PosixFile CreateTemporaryFile(const std::string& folder, std::string& path) {
    std::string pattern = (folder.empty() ? std::string(".") : folder);
    if (pattern.back() != '/') pattern += '/';
    pattern += ".zipdll-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) throw IoFailure("create a temporary file in", folder.empty() ? std::string(".") : folder, errno);
    path = name.data();
    return PosixFile::Adopt(fd, path);
}

PendingArchive::PendingArchive(std::string archive, const std::string& temp_dir) : archive_(std::move(archive)) {
    file_ = CreateTemporaryFile(temp_dir.empty() ? FolderOf(archive_) : temp_dir, temp_path_);
}

PendingArchive::~PendingArchive() {
    if (!committed_ && !temp_path_.empty()) ::unlink(temp_path_.c_str());
}

void PendingArchive::Commit() {
    mode_t mode = ArchiveMode(archive_);
    if (::fchmod(file_.Descriptor(), mode) != 0) throw IoFailure("write", temp_path_, errno);
    file_.Sync();
    file_.Close();
    if (::rename(temp_path_.c_str(), archive_.c_str()) == 0) {
        committed_ = true;
        SyncFolder(FolderOf(archive_));
        return;
    }
    if (errno != EXDEV) throw IoFailure("replace", archive_, errno);

    // The temporary folder is on another file system: copy beside the archive first.
    std::string beside_path;
    PosixFile beside = CreateTemporaryFile(FolderOf(archive_), beside_path);
    try {
        PosixFile source = PosixFile::OpenRead(temp_path_);
        std::vector<char> buffer(1u << 20);
        std::uint64_t offset = 0;
        for (;;) {
            std::size_t got = source.ReadAt(buffer.data(), buffer.size(), offset);
            if (got == 0) break;
            beside.Write(buffer.data(), got);
            offset += got;
        }
        if (::fchmod(beside.Descriptor(), mode) != 0) throw IoFailure("write", beside_path, errno);
        beside.Sync();
        beside.Close();
        if (::rename(beside_path.c_str(), archive_.c_str()) != 0) throw IoFailure("replace", archive_, errno);
    } catch (...) {
        ::unlink(beside_path.c_str());
        throw;
    }
    SyncFolder(FolderOf(archive_));
}

}  // namespace zipdll
