// The parts of File that are the same on every system: the throwing forms built on the
// short-count calls, the moves and the position. The system calls are in file.cpp and its
// Windows counterpart file_win32.cpp.

#include <cstdint>
#include <utility>

#include "platform/errors.h"
#include "platform/file.h"

namespace kitforge {

File File::OpenRead(const std::string& path) {
    int error = 0;
    auto file = TryOpenRead(path, &error);
    if (!file) throw ReadError("open", path, error);
    return std::move(*file);
}

File::File(File&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)), last_error_(other.last_error_) {
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        last_error_ = other.last_error_;
        other.fd_ = -1;
    }
    return *this;
}

File::~File() { Release(); }

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
                                    static_cast<unsigned char>(value >> 16),
                                    static_cast<unsigned char>(value >> 24)};
    WriteAll(bytes, sizeof bytes);
}

std::int64_t File::Position() { return Seek(0, Whence::Current); }

}  // namespace kitforge
