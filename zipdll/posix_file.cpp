#include "posix_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace zipdll {

IoFailure::IoFailure(const std::string& action, const std::string& path, int error_number)
    : std::runtime_error("Cannot " + action + " " + path + ": " + std::strerror(error_number)),
      error_number_(error_number) {}

IoFailure::IoFailure(const std::string& action, const std::string& path, const std::string& reason)
    : std::runtime_error("Cannot " + action + " " + path + ": " + reason) {}

PosixFile PosixFile::OpenRead(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw IoFailure("open", path, errno);
    return PosixFile(fd, path);
}

PosixFile PosixFile::CreateNew(const std::string& path, mode_t mode) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) throw IoFailure("create", path, errno);
    return PosixFile(fd, path);
}

PosixFile::PosixFile(PosixFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

PosixFile& PosixFile::operator=(PosixFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

PosixFile::~PosixFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::uint64_t PosixFile::Size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw IoFailure("read", path_, errno);
    return static_cast<std::uint64_t>(st.st_size);
}

std::size_t PosixFile::ReadAt(void* data, std::size_t size, std::uint64_t offset) const {
    auto* bytes = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::pread(fd_, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw IoFailure("read", path_, errno);
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void PosixFile::ReadExactAt(void* data, std::size_t size, std::uint64_t offset) const {
    if (ReadAt(data, size, offset) != size) throw IoFailure("read", path_, "the file ends too early");
}

void PosixFile::Write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd_, bytes, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw IoFailure("write", path_, errno);
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}

void PosixFile::WriteAt(const void* data, std::size_t size, std::uint64_t offset) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::pwrite(fd_, bytes, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw IoFailure("write", path_, errno);
        }
        bytes += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
}

std::uint64_t PosixFile::Position() const {
    off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0) throw IoFailure("seek in", path_, errno);
    return static_cast<std::uint64_t>(at);
}

void PosixFile::SeekTo(std::uint64_t offset) {
    if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) throw IoFailure("seek in", path_, errno);
}

void PosixFile::Truncate(std::uint64_t size) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) throw IoFailure("write", path_, errno);
}

void PosixFile::Sync() {
    if (::fsync(fd_) != 0) throw IoFailure("write", path_, errno);
}

void PosixFile::Close() {
    if (fd_ < 0) return;
    int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0 && errno != EINTR) throw IoFailure("write", path_, errno);
}

}  // namespace zipdll
