// The drive that holds an archive: is it there, what is its volume's label, how large is it
// and how much room is left.

#include <cctype>

#include "zip/zip_master.h"

namespace kitforge {

bool TZipMaster::CheckDrive() {
    DiskSize = 0;
    VolumeLabel.clear();

    // A root that starts with a separator (a network share, or a mount point on this
    // platform) has no letter to check; anything else must be a letter of a drive that exists.
    const char first = DriveRoot.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(DriveRoot[0])));
    const bool lettered = first != '\\' && first != '/';
    if (lettered) {
        if (first < 'A' || first > 'Z') throw EZipMaster(zip_msg::kDriveNotLetter, DriveRoot);
        if ((volumes_.LogicalDriveMask() & (std::uint32_t{1} << (first - 'A'))) == 0) {
            throw EZipMaster(zip_msg::kDriveNotReady, DriveRoot);
        }
    }

    const VolumeInfo volume = volumes_.QueryVolume(DriveRoot);
    if (volume.Ready()) {
        VolumeLabel = volume.label;
        QueryDiskSpace(3);
        return !lettered || DiskSize != kSizeNotDetermined;
    }
    // An unformatted disk is fine when the disks of a set are to be formatted anyway.
    return volume.state == VolumeState::Unformatted && add_options_.Contains(AddDiskSpanErase);
}

void TZipMaster::QueryDiskSpace(int which) {
    std::uint64_t free = kSizeNotDetermined;
    std::uint64_t total = kSizeNotDetermined;
    if (const auto space = volumes_.QuerySpace(DriveRoot)) {
        free = space->available;
        total = space->total;
    }
    if (which & 1) DiskFree = free;
    if (which & 2) DiskSize = total;
}

}  // namespace kitforge
