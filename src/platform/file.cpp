#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"
#include "platform/paths.h"

namespace kitforge {

namespace {

int OpenDescriptor(const std::string& path, int flags, unsigned mode = 0) {
    int fd;
    do {
        fd = ::open(NativePath(path).c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// A folder opens fine for reading on Linux; refuse it the way the user would expect.
bool IsFolderDescriptor(int fd) {
    struct stat st{};
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::optional<File> File::TryOpenRead(const std::string& path, int* error) {
    const int fd = OpenDescriptor(path, O_RDONLY);
    if (fd < 0) {
        if (error) *error = errno;
        return std::nullopt;
    }
    if (IsFolderDescriptor(fd)) {
        ::close(fd);
        if (error) *error = EISDIR;
        return std::nullopt;
    }
    return File(fd, path);
}

File File::OpenReadWrite(const std::string& path) {
    const int fd = OpenDescriptor(path, O_RDWR);
    if (fd < 0) throw InOutError("open", path, errno);
    return File(fd, path);
}

File File::Create(const std::string& path, unsigned mode) {
    const int fd = OpenDescriptor(path, O_WRONLY | O_CREAT | O_TRUNC, mode);
    if (fd < 0) throw InOutError("create", path, errno);
    return File(fd, path);
}

File File::CreateNew(const std::string& path, unsigned mode) {
    const int fd = OpenDescriptor(path, O_RDWR | O_CREAT | O_EXCL, mode);
    if (fd < 0) throw InOutError("create", path, errno);
    return File(fd, path);
}

void File::Release() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::size_t File::Read(void* data, std::size_t size) {
    auto* out = static_cast<char*>(data);
    std::size_t done = 0;
    last_error_ = 0;
    while (done < size) {
        const ssize_t n = ::read(fd_, out + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            last_error_ = errno;
            break;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t File::Write(const void* data, std::size_t size) {
    const auto* in = static_cast<const char*>(data);
    std::size_t done = 0;
    last_error_ = 0;
    while (done < size) {
        const ssize_t n = ::write(fd_, in + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            last_error_ = errno;
            break;
        }
        if (n == 0) {
            last_error_ = ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::int64_t File::Seek(std::int64_t offset, Whence whence) {
    const int how = whence == Whence::Begin ? SEEK_SET : whence == Whence::Current ? SEEK_CUR : SEEK_END;
    const off_t result = ::lseek(fd_, static_cast<off_t>(offset), how);
    if (result < 0) {
        last_error_ = errno;
        return -1;
    }
    return result;
}

std::int64_t File::Size() {
    struct stat st{};
    if (::fstat(fd_, &st) != 0) {
        last_error_ = errno;
        return -1;
    }
    return st.st_size;
}

void File::Sync() {
    if (::fsync(fd_) != 0) throw InOutError("write", path_, errno);
}

void File::Close() {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) throw InOutError("write", path_, errno);
}

bool FileExists(const std::string& path) {
    struct stat st{};
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
    struct stat st{};
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& path, int* error) {
    if (::unlink(NativePath(path).c_str()) == 0) return true;
    if (error) *error = errno;
    return false;
}

std::int64_t FileSize(const std::string& path) {
    struct stat st{};
    if (::stat(NativePath(path).c_str(), &st) != 0) return -1;
    return st.st_size;
}

}  // namespace kitforge
