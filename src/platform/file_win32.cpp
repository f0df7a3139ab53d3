// File on Windows: a C runtime descriptor over a handle from CreateFileW, so that the class
// keeps its interface (and fstat keeps working on Descriptor()). Windows error codes are
// turned into errno values, which the error texts and callers expect.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>

#include "platform/errors.h"
#include "platform/file.h"
#include "platform/win32_api.h"

namespace kitforge {

namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr std::size_t kMaxStep = 1u << 30;

// Opens `path`; -1 with errno set on failure.
int OpenDescriptor(const std::string& path, DWORD access, DWORD disposition, unsigned mode, int flags) {
    const DWORD attributes = (mode & 0200) != 0 ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
    HANDLE handle = CreateFileW(WidePath(path).c_str(), access, kShareAll, nullptr, disposition, attributes, nullptr);
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

bool ReadAttributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data) != 0;
}

}  // namespace

std::optional<File> File::TryOpenRead(const std::string& path, int* error) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (ReadAttributes(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        if (error) *error = EISDIR;
        return std::nullopt;
    }
    const int fd = OpenDescriptor(path, GENERIC_READ, OPEN_EXISTING, 0666, _O_RDONLY);
    if (fd < 0) {
        if (error) *error = errno;
        return std::nullopt;
    }
    return File(fd, path);
}

File File::OpenReadWrite(const std::string& path) {
    const int fd = OpenDescriptor(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, 0666, _O_RDWR);
    if (fd < 0) throw InOutError("open", path, errno);
    return File(fd, path);
}

File File::Create(const std::string& path, unsigned mode) {
    const int fd = OpenDescriptor(path, GENERIC_WRITE, CREATE_ALWAYS, mode, _O_WRONLY);
    if (fd < 0) throw InOutError("create", path, errno);
    return File(fd, path);
}

File File::CreateNew(const std::string& path, unsigned mode) {
    const int fd = OpenDescriptor(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, mode, _O_RDWR);
    if (fd < 0) throw InOutError("create", path, errno);
    return File(fd, path);
}

void File::Release() noexcept {
    if (fd_ >= 0) _close(fd_);
    fd_ = -1;
}

std::size_t File::Read(void* data, std::size_t size) {
    auto* out = static_cast<char*>(data);
    std::size_t done = 0;
    last_error_ = 0;
    while (done < size) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min(size - done, kMaxStep));
        if (!ReadFile(HandleOf(fd_), out + done, want, &got, nullptr)) {
            const DWORD code = GetLastError();
            if (code != ERROR_HANDLE_EOF && code != ERROR_BROKEN_PIPE) last_error_ = ErrnoFromWindowsError(code);
            break;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

std::size_t File::Write(const void* data, std::size_t size) {
    const auto* in = static_cast<const char*>(data);
    std::size_t done = 0;
    last_error_ = 0;
    while (done < size) {
        DWORD wrote = 0;
        const DWORD want = static_cast<DWORD>(std::min(size - done, kMaxStep));
        if (!WriteFile(HandleOf(fd_), in + done, want, &wrote, nullptr)) {
            last_error_ = ErrnoFromWindowsError(GetLastError());
            break;
        }
        if (wrote == 0) {
            last_error_ = ENOSPC;
            break;
        }
        done += wrote;
    }
    return done;
}

std::int64_t File::Seek(std::int64_t offset, Whence whence) {
    const DWORD how = whence == Whence::Begin ? FILE_BEGIN : whence == Whence::Current ? FILE_CURRENT : FILE_END;
    LARGE_INTEGER distance{}, result{};
    distance.QuadPart = offset;
    if (!SetFilePointerEx(HandleOf(fd_), distance, &result, how)) {
        last_error_ = ErrnoFromWindowsError(GetLastError());
        return -1;
    }
    return result.QuadPart;
}

std::int64_t File::Size() {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(HandleOf(fd_), &size)) {
        last_error_ = ErrnoFromWindowsError(GetLastError());
        return -1;
    }
    return size.QuadPart;
}

void File::Sync() {
    if (!FlushFileBuffers(HandleOf(fd_))) throw InOutError("write", path_, ErrnoFromWindowsError(GetLastError()));
}

void File::Close() {
    if (fd_ < 0) return;
    const int fd = fd_;
    fd_ = -1;
    if (_close(fd) != 0) throw InOutError("write", path_, errno);
}

bool FileExists(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return ReadAttributes(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return ReadAttributes(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool DeleteFile(const std::string& path, int* error) {
    if (DeleteFileW(WidePath(path).c_str())) return true;
    const int code = LastErrorAsErrno();
    if (error) *error = code;
    return false;
}

std::int64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!ReadAttributes(path, data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return -1;
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace kitforge
