#include "zipsfx/folder_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "zipsfx/entry_names.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(Descriptor&& other) noexcept : fd_(other.Release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = other.Release();
        }
        return *this;
    }
    int Get() const { return fd_; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

std::string Failure(const std::string& action, const std::string& path, int error) {
    return "cannot " + action + " " + path + ": " + std::strerror(error);
}

std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// A full disk or quota is a want of room, not damage: the caller can say how much was needed.
SfxError WriteFailure(const std::string& shown, int error) {
    const bool no_room = error == ENOSPC || error == EDQUOT;
    return SfxError(Failure("write", shown, error), no_room ? FailureKind::NoSpace : FailureKind::Damaged);
}

void WriteAll(int fd, const std::uint8_t* data, std::size_t size, const std::string& shown) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw WriteFailure(shown, n < 0 ? errno : ENOSPC);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

}  // namespace

FolderWriter::FolderWriter(std::string root) : root_(std::move(root)) {
    while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

FolderWriter::~FolderWriter() {
    if (!committed_) Discard();
    if (root_fd_ >= 0) ::close(root_fd_);
}

std::string FolderWriter::Shown(const std::string& path) const {
    return Printable(path.empty() ? root_ : root_ + "/" + path);
}

void FolderWriter::Open() {
    // Make the missing parents of the target, top down, remembering them for Discard.
    std::vector<std::string> missing;
    for (std::string path = root_; !path.empty() && path != "/" && path != ".";) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0) break;
        if (errno != ENOENT) throw SfxError(Failure("use the folder", Printable(path), errno));
        missing.push_back(path);
        const std::size_t slash = path.rfind('/');
        path = slash == std::string::npos ? "" : path.substr(0, slash == 0 ? 1 : slash);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0777) != 0 && errno != EEXIST) {
            throw SfxError(Failure("make the folder", Printable(*it), errno));
        }
        made_folders_.push_back(*it);
    }
    root_fd_ = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root_fd_ < 0) throw SfxError(Failure("open the folder", Printable(root_), errno));
}

int FolderWriter::OpenFolder(const std::string& folder, bool create) {
    Descriptor current(::dup(root_fd_));
    if (current.Get() < 0) throw SfxError(Failure("open the folder", Printable(root_), errno));
    std::string walked;
    std::size_t start = 0;
    while (start < folder.size()) {
        std::size_t slash = folder.find('/', start);
        if (slash == std::string::npos) slash = folder.size();
        const std::string part = folder.substr(start, slash - start);
        walked += (walked.empty() ? "" : "/") + part;
        if (create) {
            if (::mkdirat(current.Get(), part.c_str(), 0777) == 0) {
                made_folders_.push_back(root_ + "/" + walked);
            } else if (errno != EEXIST) {
                throw SfxError(Failure("make the folder", Shown(walked), errno));
            }
        }
        Descriptor next(::openat(current.Get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.Get() < 0) {
            const int error = errno;
            if (error == ELOOP || error == ENOTDIR) {
                throw SfxError("cannot extract into " + Shown(walked) + ": it is not a folder (a file or a link)");
            }
            throw SfxError(Failure("open the folder", Shown(walked), error));
        }
        current = std::move(next);
        start = slash + 1;
    }
    return current.Release();
}

void FolderWriter::MakeFolder(const std::string& path) { const Descriptor made(OpenFolder(path, true)); }

void FolderWriter::StageFile(const std::string& path, std::optional<std::uint32_t> mode, std::uint32_t dos_time,
                             const std::function<void(const ByteSink&)>& fill) {
    auto [folder, name] = SplitPath(path);
    const Descriptor folder_fd(OpenFolder(folder, true));
    const std::string shown = Shown(path);
    Staged staged{folder, "", name};
    Descriptor file;
    for (int attempt = 0; file.Get() < 0; ++attempt) {
        char temporary[64];
        std::snprintf(temporary, sizeof temporary, ".zipsfx-%ld-%u.tmp", static_cast<long>(::getpid()), counter_++);
        file = Descriptor(
            ::openat(folder_fd.Get(), temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (file.Get() < 0 && (errno != EEXIST || attempt > 1000)) throw SfxError(Failure("create", shown, errno));
        staged.temporary = temporary;
    }
    staged_.push_back(staged);

    const int fd = file.Get();
    fill([&](const std::uint8_t* data, std::size_t size) { WriteAll(fd, data, size, shown); });

    // The umask is the user's say over what others may do with new files, stored modes included:
    // an entry stored 0777 must not come out writable by everyone.
    const mode_t permissions = static_cast<mode_t>((mode ? *mode & 0777 : 0666) & ~CurrentUmask());
    if (::fchmod(fd, permissions) != 0) throw SfxError(Failure("set the permissions of", shown, errno));
    struct stat made {};
    if (::fstat(fd, &made) != 0) throw SfxError(Failure("look at", shown, errno));
    written_.push_back({static_cast<std::uint64_t>(made.st_dev), static_cast<std::uint64_t>(made.st_ino)});
    if (const auto seconds = DosTimeToUnix(dos_time)) {
        const timespec times[2] = {{static_cast<time_t>(*seconds), 0}, {static_cast<time_t>(*seconds), 0}};
        ::futimens(fd, times);  // a file without its date is still the right file
    }
    if (::close(file.Release()) != 0) throw WriteFailure(shown, errno);
}

void FolderWriter::Commit() {
    for (Staged& staged : staged_) {
        if (staged.done) continue;
        const std::string path = staged.folder.empty() ? staged.name : staged.folder + "/" + staged.name;
        try {
            const Descriptor folder_fd(OpenFolder(staged.folder, false));
            if (::renameat(folder_fd.Get(), staged.temporary.c_str(), folder_fd.Get(), staged.name.c_str()) != 0) {
                throw SfxError(Failure("put in place", Shown(path), errno));
            }
        } catch (const SfxError&) {
            Discard();
            throw;
        }
        staged.done = true;
    }
    committed_ = true;
}

void FolderWriter::Discard() noexcept {
    for (Staged& staged : staged_) {
        if (staged.done) continue;
        try {
            const Descriptor folder_fd(OpenFolder(staged.folder, false));
            ::unlinkat(folder_fd.Get(), staged.temporary.c_str(), 0);
        } catch (...) {
            // The folder is gone or unusable: nothing of ours is left in it to remove.
        }
        staged.done = true;
    }
    for (auto it = made_folders_.rbegin(); it != made_folders_.rend(); ++it) ::rmdir(it->c_str());
    made_folders_.clear();
}

}  // namespace kitforge::zipsfx
