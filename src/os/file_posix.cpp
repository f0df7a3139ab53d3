// The system calls under File on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os/file.h"
#include "os/file_kind.h"
#include "os/native_path.h"

namespace kitforge {

namespace {

int OpenFlags(File::Access access) {
    switch (access) {
        case File::Access::Read: return O_RDONLY;
        case File::Access::ReadWrite: return O_RDWR;
        case File::Access::Replace: return O_WRONLY | O_CREAT | O_TRUNC;
        case File::Access::CreateNew: return O_RDWR | O_CREAT | O_EXCL;
    }
    return O_RDONLY;
}

}  // namespace

int File::OpenDescriptor(const std::string& path, Access access, unsigned permissions) {
    int fd;
    do {
        fd = ::open(path.c_str(), OpenFlags(access) | O_CLOEXEC, permissions);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

void File::CloseQuietly() noexcept {
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

std::size_t File::ReadAt(void* data, std::size_t size, std::uint64_t offset) {
    auto* out = static_cast<char*>(data);
    std::size_t done = 0;
    last_error_ = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
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

std::size_t File::WriteAt(const void* data, std::size_t size, std::uint64_t offset) {
    const auto* in = static_cast<const char*>(data);
    std::size_t done = 0;
    last_error_ = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd_, in + done, size - done, static_cast<off_t>(offset + done));
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

bool File::Truncate(std::uint64_t size) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) == 0) return true;
    last_error_ = errno;
    return false;
}

bool File::IsFolder() {
    struct stat st{};
    return ::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegular(File& file) {
    struct stat st{};
    return ::fstat(file.Descriptor(), &st) == 0 && S_ISREG(st.st_mode);
}

int File::TrySync() { return ::fsync(fd_) == 0 ? 0 : errno; }

int File::TryClose() {
    if (fd_ < 0) return 0;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) != 0 && errno != EINTR ? errno : 0;
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
