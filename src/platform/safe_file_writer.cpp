#include "platform/safe_file_writer.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <random>
#include <vector>

#include "platform/errors.h"
#include "platform/paths.h"

namespace kitforge {

namespace {

// The file a link points to, so that saving through a link updates its target.
std::string ResolvedTarget(const std::string& native) {
    std::error_code ec;
    if (std::filesystem::is_symlink(native, ec)) {
        const auto resolved = std::filesystem::weakly_canonical(native, ec);
        if (!ec) return resolved.string();
    }
    return native;
}

// Removes the temporary file on every path unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    void Keep() { path_.clear(); }

private:
    std::string path_;
};

// Creates a file beside `target` that did not exist before (O_EXCL), named after it; gives
// its name in `temp`.
File CreateNewBeside(const std::string& target, const std::string& path, unsigned mode, std::string& temp) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderPart(target);
    const std::string stem = (folder.empty() ? std::string("./") : folder) + "." + FileNamePart(target) + ".";
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned long long stamp =
            (static_cast<unsigned long long>(entropy()) << 20) ^ (static_cast<unsigned long long>(++counter) << 8) ^
            static_cast<unsigned long long>(::getpid());
        std::string candidate = stem;
        for (int i = 0; i < 6; ++i) candidate += "abcdefghijklmnopqrstuvwxyz0123456789"[(stamp >> (6 * i)) % 36];
        try {
            File file = File::CreateNew(candidate, mode);
            temp = candidate;
            return file;
        } catch (const FileError& e) {
            if (e.Code() != EEXIST) throw InOutError("create", path, e.Code());
        }
    }
    throw InOutError("create", path, EEXIST);
}

}  // namespace

ReplacementFile::ReplacementFile(std::string path, unsigned mode) : path_(std::move(path)) {
    const std::string native = NativePath(path_);
    struct stat named{};
    if (::lstat(native.c_str(), &named) == 0 && (S_ISCHR(named.st_mode) || S_ISBLK(named.st_mode))) {
        // A device named as such, not through a link (/dev/null, /dev/full), is written in place:
        // a file must not take its place, and only root can make one, so it is no trap laid by
        // another user. It is opened without being created or emptied, and used only when it is
        // still the device that was looked at.
        File device = File::OpenReadWrite(path_);
        struct stat opened{};
        if (::fstat(device.Descriptor(), &opened) != 0 || opened.st_dev != named.st_dev ||
            opened.st_ino != named.st_ino) {
            throw InOutError("open", path_, EBUSY);
        }
        file_ = std::move(device);
        return;
    }
    file_ = CreateNewBeside(native, path_, mode, temporary_);
}

ReplacementFile::~ReplacementFile() {
    if (committed_) return;
    file_ = File();
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

void ReplacementFile::Commit() {
    try {
        // A device is not flushed like a file: most refuse fsync.
        if (!temporary_.empty()) file_.Sync();
        file_.Close();
    } catch (const FileError& e) {
        throw InOutError("write", path_, e.Code(), e.Code() == 0 ? std::string_view(e.what()) : std::string_view());
    }
    if (temporary_.empty()) {
        committed_ = true;
        return;
    }
    // rename() replaces a link at the name, never what it points to.
    if (::rename(temporary_.c_str(), NativePath(path_).c_str()) != 0) throw InOutError("write", path_, errno);
    committed_ = true;
}

void WriteFileSafely(const std::string& path, const std::function<void(File&)>& write) {
    const std::string target = ResolvedTarget(NativePath(path));
    const std::string folder = FolderPart(target);
    std::string pattern = (folder.empty() ? std::string("./") : folder) + "." + FileNamePart(target) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');

    const int fd = ::mkstemp(name.data());
    if (fd < 0) throw InOutError("create", path, errno);
    ::close(fd);
    const std::string temp(name.data());
    TemporaryFile guard(temp);

    struct stat existing{};
    const bool had_target = ::stat(target.c_str(), &existing) == 0;
    // The replacement belongs to whoever writes it: special bits (set-user-ID, set-group-ID,
    // sticky) that another owner gave the old file are not carried over.
    const mode_t mode = had_target ? (existing.st_mode & 0777) : [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();

    try {
        File file = File::Create(temp);
        write(file);
        file.Sync();
        file.Close();
    } catch (const FileError& e) {
        throw InOutError("write", path, e.Code(), e.Code() == 0 ? std::string_view(e.what()) : std::string_view());
    }
    if (::chmod(temp.c_str(), mode) != 0) throw InOutError("write", path, errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) throw InOutError("write", path, errno);
    guard.Keep();
}

void WriteNewFileSafely(const std::string& path, unsigned mode, const std::function<void(File&)>& write) {
    const std::string target = NativePath(path);
    std::string temp;
    File file = CreateNewBeside(target, path, mode, temp);
    TemporaryFile guard(temp);
    write(file);
    try {
        file.Close();
    } catch (const FileError& e) {
        throw InOutError("write", path, e.Code(), e.Code() == 0 ? std::string_view(e.what()) : std::string_view());
    }
    // rename() replaces a link at `target` itself; it never follows it.
    if (::rename(temp.c_str(), target.c_str()) != 0) throw InOutError("create", path, errno);
    guard.Keep();
}

}  // namespace kitforge
