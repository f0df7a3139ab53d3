#pragma once
// The volumes that files live on, as the zip component asks about them: which drive holds a
// file, what kind of drive it is, the label of the volume in it, its size and free space.
//
// On this platform a drive root is the mount point that holds the file ("/", "/media/usb/"),
// always ending in "/". There are no drive letters, so the logical-drive mask is empty and a
// root never starts with a letter and a colon. Tests put a SimulatedDrive
// (tests/support/simulated_drive.h) behind the same interface: folders standing for removable
// disks, with labels and sizes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kitforge {

enum class DriveType {
    Unknown,    // the kind of drive cannot be told
    NoRootDir,  // the root does not exist
    Removable,  // a medium that can be swapped: a floppy, a USB stick, an optical disc
    Fixed,      // a disk built into the machine, and file systems in memory
    Network,    // a file system served by another machine
};

enum class VolumeState {
    Ready,        // the volume can be read; its label (perhaps empty) is known
    NoMedium,     // nothing is in the drive, or the root does not exist
    Unformatted,  // a medium is in the drive but holds no file system
    Unreadable,   // any other failure
};

struct VolumeInfo {
    VolumeState state = VolumeState::Unreadable;
    std::string label;

    bool Ready() const noexcept { return state == VolumeState::Ready; }
};

struct DiskSpace {
    std::uint64_t available = 0;  // bytes this process may still write
    std::uint64_t total = 0;      // size of the volume
};

enum class FormatOutcome { Formatted, Cancelled, Failed };

class Volumes {
public:
    virtual ~Volumes() = default;

    // The root of the drive that holds `path` (which need not exist yet), ending in "/".
    virtual std::string DriveRootOf(std::string_view path) = 0;
    // Bit n is set when drive letter A + n exists. Always 0 on this platform.
    virtual std::uint32_t LogicalDriveMask() = 0;
    virtual DriveType TypeOf(std::string_view root) = 0;
    // Whether the volume at `root` can be read, and its label.
    virtual VolumeInfo QueryVolume(std::string_view root) = 0;
    // Size and free space of the volume at `root`; nothing when they cannot be had.
    virtual std::optional<DiskSpace> QuerySpace(std::string_view root) = 0;
    // Writes the label of the volume at `root`; false when that cannot be done.
    virtual bool SetLabel(std::string_view root, std::string_view label) = 0;
    // Erases the volume at `root` and gives it `label`.
    virtual FormatOutcome Format(std::string_view root, std::string_view label) = 0;
};

// The real volumes of this machine, read from the mount table, sysfs and statvfs. Labels are
// read but never written, and nothing is ever formatted: SetLabel answers false and Format
// answers Failed.
Volumes& SystemVolumes();

// The absolute form of `path`: "\" made native, relative paths taken from the current folder,
// "." and ".." resolved by name. Links are kept as they are.
std::string FullPath(std::string_view path);

}  // namespace kitforge
