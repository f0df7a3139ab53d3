// The library's file handle on Windows: a C runtime descriptor over a handle opened with
// CreateFileW, so that the class keeps its interface. Reads and writes at an offset leave the
// current position where it was, as pread and pwrite do.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "posix_file.h"
#include "wide_text.h"

namespace zipdll {

namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

[[noreturn]] void Fail(const std::string& action, const std::string& path) {
    throw IoFailure(action, path, WindowsErrorText(GetLastError()));
}

int DescriptorFor(HANDLE handle, int flags, const std::string& action, const std::string& path) {
    if (handle == INVALID_HANDLE_VALUE) Fail(action, path);
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        throw IoFailure(action, path, "no file descriptor is free");
    }
    return fd;
}

std::uint64_t CurrentPosition(HANDLE handle, const std::string& path) {
    LARGE_INTEGER zero{}, at{};
    if (!SetFilePointerEx(handle, zero, &at, FILE_CURRENT)) Fail("seek in", path);
    return static_cast<std::uint64_t>(at.QuadPart);
}

void MoveTo(HANDLE handle, std::uint64_t offset, const std::string& path) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(handle, to, nullptr, FILE_BEGIN)) Fail("seek in", path);
}

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED place{};
    place.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    place.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return place;
}

constexpr std::size_t kMaxStep = 1u << 30;

}  // namespace

IoFailure::IoFailure(const std::string& action, const std::string& path, int error_number)
    : std::runtime_error("Cannot " + action + " " + path + ": " + std::strerror(error_number)),
      error_number_(error_number) {}

IoFailure::IoFailure(const std::string& action, const std::string& path, const std::string& reason)
    : std::runtime_error("Cannot " + action + " " + path + ": " + reason) {}

PosixFile PosixFile::OpenRead(const std::string& path) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return PosixFile(DescriptorFor(handle, _O_RDONLY, "open", path), path);
}

PosixFile PosixFile::CreateNew(const std::string& path, mode_t mode) {
    DWORD attributes = (mode & 0200) != 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
    HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, CREATE_NEW, attributes, nullptr);
    return PosixFile(DescriptorFor(handle, _O_RDWR, "create", path), path);
}

PosixFile::PosixFile(PosixFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

PosixFile& PosixFile::operator=(PosixFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) _close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

PosixFile::~PosixFile() {
    if (fd_ >= 0) _close(fd_);
}

std::uint64_t PosixFile::Size() const {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(HandleOf(fd_), &size)) Fail("read", path_);
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t PosixFile::ReadAt(void* data, std::size_t size, std::uint64_t offset) const {
    HANDLE handle = HandleOf(fd_);
    const std::uint64_t position = CurrentPosition(handle, path_);
    auto* bytes = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED place = At(offset + done);
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(std::min(size - done, kMaxStep));
        if (!ReadFile(handle, bytes + done, want, &got, &place)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            Fail("read", path_);
        }
        if (got == 0) break;
        done += got;
    }
    MoveTo(handle, position, path_);
    return done;
}

void PosixFile::ReadExactAt(void* data, std::size_t size, std::uint64_t offset) const {
    if (ReadAt(data, size, offset) != size) throw IoFailure("read", path_, "the file ends too early");
}

void PosixFile::Write(const void* data, std::size_t size) {
    HANDLE handle = HandleOf(fd_);
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        DWORD wrote = 0;
        DWORD want = static_cast<DWORD>(std::min(size, kMaxStep));
        if (!WriteFile(handle, bytes, want, &wrote, nullptr)) Fail("write", path_);
        if (wrote == 0) throw IoFailure("write", path_, "nothing could be written");
        bytes += wrote;
        size -= wrote;
    }
}

void PosixFile::WriteAt(const void* data, std::size_t size, std::uint64_t offset) {
    HANDLE handle = HandleOf(fd_);
    const std::uint64_t position = CurrentPosition(handle, path_);
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        OVERLAPPED place = At(offset);
        DWORD wrote = 0;
        DWORD want = static_cast<DWORD>(std::min(size, kMaxStep));
        if (!WriteFile(handle, bytes, want, &wrote, &place)) Fail("write", path_);
        if (wrote == 0) throw IoFailure("write", path_, "nothing could be written");
        bytes += wrote;
        offset += wrote;
        size -= wrote;
    }
    MoveTo(handle, position, path_);
}

std::uint64_t PosixFile::Position() const { return CurrentPosition(HandleOf(fd_), path_); }

void PosixFile::SeekTo(std::uint64_t offset) { MoveTo(HandleOf(fd_), offset, path_); }

void PosixFile::Truncate(std::uint64_t size) {
    HANDLE handle = HandleOf(fd_);
    const std::uint64_t position = CurrentPosition(handle, path_);
    MoveTo(handle, size, path_);
    if (!SetEndOfFile(handle)) Fail("write", path_);
    MoveTo(handle, position, path_);
}

void PosixFile::Sync() {
    if (!FlushFileBuffers(HandleOf(fd_))) Fail("write", path_);
}

void PosixFile::Close() {
    if (fd_ < 0) return;
    int fd = std::exchange(fd_, -1);
    if (_close(fd) != 0) throw IoFailure("write", path_, errno);
}

}  // namespace zipdll
