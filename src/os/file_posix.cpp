// The system calls under File on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os/file.h"
#include "os/file_kind.h"
#include "os/file_steps.h"
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

namespace file_steps {

std::int64_t Read(int fd, void* data, std::size_t size, const std::uint64_t* offset, int& error) {
    ssize_t n;
    do {
        n = offset ? ::pread(fd, data, size, static_cast<off_t>(*offset)) : ::read(fd, data, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) error = errno;
    return n;
}

std::int64_t Write(int fd, const void* data, std::size_t size, const std::uint64_t* offset, int& error) {
    ssize_t n;
    do {
        n = offset ? ::pwrite(fd, data, size, static_cast<off_t>(*offset)) : ::write(fd, data, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) error = errno;
    return n;
}

}  // namespace file_steps

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
    struct stat st {};
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
    struct stat st {};
    return ::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegular(File& file) {
    struct stat st {};
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
    struct stat st {};
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
    struct stat st {};
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::int64_t FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(NativePath(path).c_str(), &st) != 0) return -1;
    return st.st_size;
}

}  // namespace kitforge
