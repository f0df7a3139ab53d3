#include <algorithm>
#include <functional>

#include "file_system.h"
#include "os/win32_api.h"

namespace zipdll {

using kitforge::Utf8Text;
using kitforge::WidePath;
using kitforge::WindowsErrorText;

namespace {

// 100-nanosecond steps from 1601 to 1970.
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000LL;

std::time_t UnixTime(const FILETIME& time) {
    std::int64_t steps = (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<std::time_t>((steps - kUnixEpochAsFileTime) / 10000000LL);
}

FILETIME FileTime(std::time_t time) {
    std::int64_t steps = static_cast<std::int64_t>(time) * 10000000LL + kUnixEpochAsFileTime;
    FILETIME result;
    result.dwLowDateTime = static_cast<DWORD>(steps & 0xFFFFFFFF);
    result.dwHighDateTime = static_cast<DWORD>(steps >> 32);
    return result;
}

bool IsMissingError(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME ||
           code == ERROR_BAD_NETPATH;
}

void Describe(PathInfo& info, DWORD attributes, std::uint64_t size, const FILETIME& written) {
    info.is_directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.is_regular = !info.is_directory && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
    info.size = info.is_directory ? 0 : size;
    info.mtime = UnixTime(written);
    info.writable = (attributes & FILE_ATTRIBUTE_READONLY) == 0;
    info.mode = info.is_directory ? 040755u : (info.writable ? 0100644u : 0100444u);
}

}  // namespace

PathState ReadPathInfo(const std::string& path, PathInfo& info, std::string* reason) {
    const std::wstring wide = WidePath(path);
    // Opening with backup semantics reaches folders too and follows links, like stat().
    HANDLE handle =
        CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION about{};
        BOOL ok = GetFileInformationByHandle(handle, &about);
        DWORD code = GetLastError();
        CloseHandle(handle);
        if (ok) {
            Describe(info, about.dwFileAttributes,
                     (static_cast<std::uint64_t>(about.nFileSizeHigh) << 32) | about.nFileSizeLow,
                     about.ftLastWriteTime);
            info.identity = {about.dwVolumeSerialNumber,
                             (static_cast<std::uint64_t>(about.nFileIndexHigh) << 32) | about.nFileIndexLow};
            return PathState::kFound;
        }
        SetLastError(code);
    }
    DWORD code = GetLastError();
    if (IsMissingError(code)) {
        if (reason != nullptr) *reason = WindowsErrorText(code);
        return PathState::kMissing;
    }
    // A file that cannot be opened (in use without sharing, for one) may still be described.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        if (reason != nullptr) *reason = WindowsErrorText(GetLastError());
        return PathState::kFailed;
    }
    Describe(info, data.dwFileAttributes, (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
             data.ftLastWriteTime);
    // Without a file index the path itself has to stand for the file.
    info.identity = {~0ull, std::hash<std::string>{}(path)};
    return PathState::kFound;
}

bool ListFolderNames(const std::string& folder, std::vector<std::string>& names) {
    std::wstring pattern = WidePath(folder);
    if (!pattern.empty() && pattern.back() != L'/' && pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(Utf8Text(name));
    } while (FindNextFileW(search, &found));
    bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(search);
    return complete;
}

std::string RemoveFile(const std::string& path) {
    const std::wstring wide = WidePath(path);
    if (DeleteFileW(wide.c_str())) return std::string();
    DWORD code = GetLastError();
    // A read-only file is deleted as unlink() would delete it.
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (code == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        if (DeleteFileW(wide.c_str())) return std::string();
        code = GetLastError();
        SetFileAttributesW(wide.c_str(), attributes);
    }
    return WindowsErrorText(code);
}

std::string SetModificationTime(const std::string& path, std::time_t time) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return WindowsErrorText(GetLastError());
    FILETIME written = FileTime(time);
    BOOL ok = SetFileTime(handle, nullptr, nullptr, &written);
    DWORD code = GetLastError();
    CloseHandle(handle);
    return ok ? std::string() : WindowsErrorText(code);
}

FolderRemoval RemoveEmptyFolder(const std::string& path, std::string& reason) {
    if (RemoveDirectoryW(WidePath(path).c_str())) return FolderRemoval::kRemoved;
    DWORD code = GetLastError();
    if (code == ERROR_DIR_NOT_EMPTY) return FolderRemoval::kNotEmpty;
    reason = WindowsErrorText(code);
    return FolderRemoval::kFailed;
}

std::optional<std::uint64_t> FreeBytes(const std::string& folder) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(WidePath(folder).c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
}

}  // namespace zipdll
