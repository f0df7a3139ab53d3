// The drive that holds an archive: is it there, what is its volume's label, how large is it
// and how much room is left.

#include <cctype>

#include "zip/zip_master.h"

namespace kitforge {

bool TZipMaster::CheckDrive() {
    directory_.DiskSize = 0;
    directory_.VolumeLabel.clear();

    // A root that starts with a separator (a network share, or a mount point on this
    // platform) has no letter to check; anything else must be a letter of a drive that exists.
    const std::string& root = directory_.DriveRoot;
    const char first = root.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
    const bool lettered = first != '\\' && first != '/';
    if (lettered) {
        if (first < 'A' || first > 'Z') throw EZipMaster::WithDrive(zip_msg::kDriveNotLetter, directory_.DriveRoot);
        if ((volumes_.LogicalDriveMask() & (std::uint32_t{1} << (first - 'A'))) == 0) {
            throw EZipMaster::WithDrive(zip_msg::kDriveNotReady, directory_.DriveRoot);
        }
    }

    const VolumeInfo volume = volumes_.QueryVolume(directory_.DriveRoot);
    if (volume.Ready()) {
        directory_.VolumeLabel = volume.label;
        QueryDiskSpace(disk_figure::kFree | disk_figure::kSize);
        return !lettered || directory_.DiskSize != kSizeNotDetermined;
    }
    // An unformatted disk is fine when the disks of a set are to be formatted anyway.
    return volume.state == VolumeState::Unformatted && add_options_.Contains(AddDiskSpanErase);
}

void TZipMaster::QueryDiskSpace(int which) {
    std::uint64_t free = kSizeNotDetermined;
    std::uint64_t total = kSizeNotDetermined;
    if (const auto space = volumes_.QuerySpace(directory_.DriveRoot)) {
        free = space->available;
        total = space->total;
    }
    if (which & disk_figure::kFree) directory_.DiskFree = free;
    if (which & disk_figure::kSize) directory_.DiskSize = total;
}

}  // namespace kitforge
