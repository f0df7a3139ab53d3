// The parts of File that are the same on every system: opening by the user's path, the
// throwing forms built on the short-count calls, the moves and the position. The system calls
// are in file_posix.cpp and file_win32.cpp.

#include "os/file.h"

#include <cerrno>
#include <cstdint>
#include <utility>

#include "os/errors.h"
#include "os/file_names.h"
#include "os/file_steps.h"
#include "os/native_path.h"

namespace kitforge {

namespace {

File Opened(const std::string& path, File::Access access, unsigned mode, std::string_view action) {
    int error = 0;
    auto file = File::TryOpen(NativePath(path), access, mode, &error);
    if (!file) throw InOutError(action, path, error);
    return File::Adopt(file->Release(), path);
}

}  // namespace

std::optional<File> File::TryOpen(const std::string& path, Access access, unsigned permissions, int* error) {
    const int fd = OpenDescriptor(path, access, permissions);
    if (fd < 0) {
        if (error) *error = errno;
        return std::nullopt;
    }
    return File(fd, path);
}

std::optional<File> File::TryOpenRead(const std::string& path, int* error) {
    auto file = TryOpen(NativePath(path), Access::Read, 0666, error);
    if (!file) return std::nullopt;
    // A folder opens fine for reading on Linux; refuse it the way the user would expect.
    if (file->IsFolder()) {
        if (error) *error = EISDIR;
        return std::nullopt;
    }
    return File(file->Release(), path);
}

namespace {

// Repeats `step` until `size` bytes have moved; fewer at the end of the file (reading), when
// nothing more can be written (ENOSPC) or on an error, which goes to `error`.
template <typename Byte, typename Step>
std::size_t Transfer(Byte* data, std::size_t size, const std::uint64_t* offset, bool reading, int& error, Step step) {
    std::size_t done = 0;
    error = 0;
    while (done < size) {
        const std::uint64_t at = offset ? *offset + done : 0;
        const std::int64_t n = step(data + done, size - done, offset ? &at : nullptr, error);
        if (n < 0) break;
        if (n == 0) {
            if (!reading) error = ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace

std::size_t File::Read(void* data, std::size_t size) {
    return Transfer(static_cast<char*>(data), size, nullptr, true, last_error_,
                    [this](char* at, std::size_t n, const std::uint64_t* offset, int& error) {
                        return file_steps::Read(fd_, at, n, offset, error);
                    });
}

std::size_t File::Write(const void* data, std::size_t size) {
    return Transfer(static_cast<const char*>(data), size, nullptr, false, last_error_,
                    [this](const char* at, std::size_t n, const std::uint64_t* offset, int& error) {
                        return file_steps::Write(fd_, at, n, offset, error);
                    });
}

std::size_t File::ReadAt(void* data, std::size_t size, std::uint64_t offset) {
    return Transfer(static_cast<char*>(data), size, &offset, true, last_error_,
                    [this](char* at, std::size_t n, const std::uint64_t* where, int& error) {
                        return file_steps::Read(fd_, at, n, where, error);
                    });
}

std::size_t File::WriteAt(const void* data, std::size_t size, std::uint64_t offset) {
    return Transfer(static_cast<const char*>(data), size, &offset, false, last_error_,
                    [this](const char* at, std::size_t n, const std::uint64_t* where, int& error) {
                        return file_steps::Write(fd_, at, n, where, error);
                    });
}

File File::OpenRead(const std::string& path) {
    int error = 0;
    auto file = TryOpenRead(path, &error);
    if (!file) throw ReadError("open", path, error);
    return std::move(*file);
}

File File::OpenReadWrite(const std::string& path) { return Opened(path, Access::ReadWrite, 0666, "open"); }

File File::Create(const std::string& path, unsigned mode) { return Opened(path, Access::Replace, mode, "create"); }

File File::CreateNew(const std::string& path, unsigned mode) { return Opened(path, Access::CreateNew, mode, "create"); }

File::File(File&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)), last_error_(other.last_error_) {
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        CloseQuietly();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        last_error_ = other.last_error_;
        other.fd_ = -1;
    }
    return *this;
}

File::~File() { CloseQuietly(); }

int File::Release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void File::ReadExact(void* data, std::size_t size) {
    if (Read(data, size) != size) {
        if (last_error_ != 0) throw ReadError("read", path_, last_error_);
        throw ReadError("read", path_, 0, "the file ended before the expected number of bytes");
    }
}

void File::WriteAll(const void* data, std::size_t size) {
    if (Write(data, size) != size) throw InOutError("write", path_, last_error_);
}

void File::WriteU32LE(std::uint32_t value) {
    const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                    static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    WriteAll(bytes, sizeof bytes);
}

std::int64_t File::Position() { return Seek(0, Whence::Current); }

bool DeleteFile(const std::string& path, int* error) {
    const int code = RemoveFile(NativePath(path));
    if (code != 0 && error) *error = code;
    return code == 0;
}

void File::Sync() {
    if (const int error = TrySync(); error != 0) throw InOutError("write", path_, error);
}

void File::Close() {
    if (const int error = TryClose(); error != 0) throw InOutError("write", path_, error);
}

}  // namespace kitforge
