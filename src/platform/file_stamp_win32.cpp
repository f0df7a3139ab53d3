#include <io.h>

#include "platform/file_stamp.h"
#include "os/win32_api.h"

namespace kitforge {

namespace {

// 100-nanosecond steps from 1601 to 1970.
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000LL;

std::optional<FileStamp> StampOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION about{};
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &about)) return std::nullopt;
    const std::int64_t steps =
        (static_cast<std::int64_t>(about.ftLastWriteTime.dwHighDateTime) << 32) | about.ftLastWriteTime.dwLowDateTime;
    return FileStamp{
        (steps - kUnixEpochAsFileTime) * 100,
        {about.dwVolumeSerialNumber, (static_cast<std::uint64_t>(about.nFileIndexHigh) << 32) | about.nFileIndexLow}};
}

}  // namespace

std::optional<FileStamp> StampOf(File& file) {
    return StampOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(file.Descriptor())));
}

std::optional<FileStamp> StampOf(const std::string& path) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<FileStamp> stamp = StampOfHandle(handle);
    CloseHandle(handle);
    return stamp;
}

bool SetModificationTime(File& file, std::int64_t modified_ns) {
    const std::int64_t steps = modified_ns / 100 + kUnixEpochAsFileTime;
    FILETIME written;
    written.dwLowDateTime = static_cast<DWORD>(steps & 0xFFFFFFFF);
    written.dwHighDateTime = static_cast<DWORD>(steps >> 32);
    return SetFileTime(reinterpret_cast<HANDLE>(_get_osfhandle(file.Descriptor())), nullptr, nullptr, &written) != 0;
}

}  // namespace kitforge
