// The volumes of a Windows machine: drive letters and volume mount points, asked of the
// system directly. Labels are written with SetVolumeLabelW; nothing is ever formatted.
#include <vector>

#include "platform/paths.h"
#include "platform/volumes.h"
#include "os/win32_api.h"

namespace kitforge {

namespace {

std::wstring WithBackslash(std::wstring root) {
    if (root.empty() || (root.back() != L'\\' && root.back() != L'/')) root += L'\\';
    return root;
}

class SystemVolumeService final : public Volumes {
public:
    std::string DriveRootOf(std::string_view path) override {
        const std::wstring full = WidePath(FullPath(path));
        std::vector<wchar_t> root(full.size() + MAX_PATH + 2);
        if (!GetVolumePathNameW(full.c_str(), root.data(), static_cast<DWORD>(root.size()))) {
            // The drive of a path that does not exist yet: its first three characters.
            if (full.size() >= 2 && full[1] == L':') return Utf8Text(full.substr(0, 2)) + "\\";
            return Utf8Text(full);
        }
        return Utf8Text(WithBackslash(root.data()));
    }

    std::uint32_t LogicalDriveMask() override { return GetLogicalDrives(); }

    DriveType TypeOf(std::string_view root) override {
        switch (GetDriveTypeW(WithBackslash(WidePath(root)).c_str())) {
            case DRIVE_NO_ROOT_DIR: return DriveType::NoRootDir;
            case DRIVE_REMOVABLE:
            case DRIVE_CDROM: return DriveType::Removable;
            case DRIVE_FIXED:
            case DRIVE_RAMDISK: return DriveType::Fixed;
            case DRIVE_REMOTE: return DriveType::Network;
            default: return DriveType::Unknown;
        }
    }

    VolumeInfo QueryVolume(std::string_view root) override {
        wchar_t label[MAX_PATH + 1] = {};
        if (!GetVolumeInformationW(WithBackslash(WidePath(root)).c_str(), label, MAX_PATH + 1, nullptr, nullptr,
                                   nullptr, nullptr, 0)) {
            switch (GetLastError()) {
                case ERROR_NOT_READY:
                case ERROR_PATH_NOT_FOUND:
                case ERROR_FILE_NOT_FOUND:
                case ERROR_INVALID_DRIVE: return {VolumeState::NoMedium, {}};
                case ERROR_UNRECOGNIZED_VOLUME:
                case ERROR_UNRECOGNIZED_MEDIA:
                case ERROR_NOT_DOS_DISK: return {VolumeState::Unformatted, {}};
                default: return {VolumeState::Unreadable, {}};
            }
        }
        return {VolumeState::Ready, Utf8Text(label)};
    }

    std::optional<DiskSpace> QuerySpace(std::string_view root) override {
        ULARGE_INTEGER available{}, total{};
        if (!GetDiskFreeSpaceExW(WithBackslash(WidePath(root)).c_str(), &available, &total, nullptr))
            return std::nullopt;
        return DiskSpace{available.QuadPart, total.QuadPart};
    }

    bool SetLabel(std::string_view root, std::string_view label) override {
        return SetVolumeLabelW(WithBackslash(WidePath(root)).c_str(), WideText(label).c_str()) != 0;
    }

    FormatOutcome Format(std::string_view, std::string_view) override { return FormatOutcome::Failed; }
};

}  // namespace

Volumes& SystemVolumes() {
    static SystemVolumeService service;
    return service;
}

std::string FullPath(std::string_view path) {
    const std::wstring wide = WidePath(path);
    DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (length == 0) return NativePath(path);
    std::vector<wchar_t> buffer(length + 1);
    length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) return NativePath(path);
    std::wstring full(buffer.data(), length);
    // A path names the thing itself: no trailing separator, except after a drive ("C:\").
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
    return Utf8Text(full);
}

}  // namespace kitforge
