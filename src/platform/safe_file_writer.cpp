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
    const mode_t mode = had_target ? (existing.st_mode & 07777) : [] {
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
