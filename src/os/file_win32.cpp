// The system calls under File on Windows: a C runtime descriptor over a handle from
// CreateFileW, so that the class keeps its interface (and fstat keeps working on
// Descriptor()). Windows error codes are turned into errno values, which the error texts and
// callers expect. Reads and writes at an offset leave the position where it was, as pread and
// pwrite do.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>

#include "os/file.h"
#include "os/file_steps.h"
#include "os/file_kind.h"
#include "os/win32_api.h"

namespace kitforge {

namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr std::size_t kMaxStep = 1u << 30;

bool ReadAttributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data) != 0;
}

bool IsFolderPath(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return ReadAttributes(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED place{};
    place.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    place.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return place;
}

DWORD StepSize(std::size_t size) { return static_cast<DWORD>(std::min(size, kMaxStep)); }

// Runs `step` with the file position saved, and puts it back afterwards (when `keep`); gives
// `failed` when the position cannot be read.
template <typename Result, typename Call>
Result KeepingPosition(HANDLE handle, int& last_error, bool keep, Result failed, Call step) {
    if (!keep) return step();
    LARGE_INTEGER zero{}, position{};
    if (!SetFilePointerEx(handle, zero, &position, FILE_CURRENT)) {
        last_error = WindowsErrorAsErrno(GetLastError());
        return failed;
    }
    auto result = step();
    const DWORD code = GetLastError();
    SetFilePointerEx(handle, position, nullptr, FILE_BEGIN);
    SetLastError(code);
    return result;
}

}  // namespace

int File::OpenDescriptor(const std::string& path, Access access, unsigned permissions) {
    DWORD rights = GENERIC_READ | GENERIC_WRITE, disposition = OPEN_EXISTING;
    int flags = _O_RDWR;
    switch (access) {
        case Access::Read:
            // A folder cannot be opened as a file here; say what it is, as on Linux.
            if (IsFolderPath(path)) {
                errno = EISDIR;
                return -1;
            }
            rights = GENERIC_READ;
            flags = _O_RDONLY;
            break;
        case Access::ReadWrite: break;
        case Access::Replace:
            rights = GENERIC_WRITE;
            disposition = CREATE_ALWAYS;
            flags = _O_WRONLY;
            break;
        case Access::CreateNew: disposition = CREATE_NEW; break;
    }
    const DWORD attributes = (permissions & 0200) != 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
    HANDLE handle = CreateFileW(WidePath(path).c_str(), rights, kShareAll, nullptr, disposition, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        LastErrorAsErrno();
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

void File::CloseQuietly() noexcept {
    if (fd_ >= 0) _close(fd_);
    fd_ = -1;
}

namespace file_steps {

std::int64_t Read(int fd, void* data, std::size_t size, const std::uint64_t* offset, int& error) {
    return KeepingPosition<std::int64_t>(HandleOf(fd), error, offset != nullptr, -1, [&]() -> std::int64_t {
        OVERLAPPED place = At(offset ? *offset : 0);
        DWORD got = 0;
        if (ReadFile(HandleOf(fd), data, StepSize(size), &got, offset ? &place : nullptr)) return got;
        const DWORD code = GetLastError();
        if (code == ERROR_HANDLE_EOF || code == ERROR_BROKEN_PIPE) return 0;
        error = WindowsErrorAsErrno(code);
        return -1;
    });
}

std::int64_t Write(int fd, const void* data, std::size_t size, const std::uint64_t* offset, int& error) {
    return KeepingPosition<std::int64_t>(HandleOf(fd), error, offset != nullptr, -1, [&]() -> std::int64_t {
        OVERLAPPED place = At(offset ? *offset : 0);
        DWORD wrote = 0;
        if (WriteFile(HandleOf(fd), data, StepSize(size), &wrote, offset ? &place : nullptr)) return wrote;
        error = WindowsErrorAsErrno(GetLastError());
        return -1;
    });
}

}  // namespace file_steps

std::int64_t File::Seek(std::int64_t offset, Whence whence) {
    const DWORD how = whence == Whence::Begin ? FILE_BEGIN : whence == Whence::Current ? FILE_CURRENT : FILE_END;
    LARGE_INTEGER distance{}, result{};
    distance.QuadPart = offset;
    if (!SetFilePointerEx(HandleOf(fd_), distance, &result, how)) {
        last_error_ = WindowsErrorAsErrno(GetLastError());
        return -1;
    }
    return result.QuadPart;
}

std::int64_t File::Size() {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(HandleOf(fd_), &size)) {
        last_error_ = WindowsErrorAsErrno(GetLastError());
        return -1;
    }
    return size.QuadPart;
}

bool File::Truncate(std::uint64_t size) {
    last_error_ = 0;
    return KeepingPosition(HandleOf(fd_), last_error_, true, false, [&]() -> bool {
        LARGE_INTEGER end{};
        end.QuadPart = static_cast<LONGLONG>(size);
        if (SetFilePointerEx(HandleOf(fd_), end, nullptr, FILE_BEGIN) && SetEndOfFile(HandleOf(fd_))) return true;
        last_error_ = WindowsErrorAsErrno(GetLastError());
        return false;
    });
}

bool File::IsFolder() {
    BY_HANDLE_FILE_INFORMATION information{};
    return GetFileInformationByHandle(HandleOf(fd_), &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsRegular(File& file) { return GetFileType(HandleOf(file.Descriptor())) == FILE_TYPE_DISK && !file.IsFolder(); }

int File::TrySync() { return FlushFileBuffers(HandleOf(fd_)) ? 0 : WindowsErrorAsErrno(GetLastError()); }

int File::TryClose() {
    if (fd_ < 0) return 0;
    const int fd = fd_;
    fd_ = -1;
    return _close(fd) != 0 ? errno : 0;
}

bool FileExists(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return ReadAttributes(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) { return IsFolderPath(path); }

std::int64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!ReadAttributes(path, data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return -1;
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace kitforge
