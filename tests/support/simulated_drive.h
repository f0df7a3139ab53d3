#pragma once
// A drive made of folders, for tests of everything that asks for disks: each disk is a folder
// with a label, a size and a formatted flag, and the drive's root is a link to the folder of
// the disk now inserted, so the files on the drive are opened by their ordinary paths. A test
// inserts, ejects and swaps disks (directly, or from a scripted answer to a disk prompt
// through InsertNext). Paths that are not on the drive are answered by another Volumes,
// normally the system's.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/volumes.h"

namespace kitforge {

// The capacity of a 3.5-inch high-density floppy disk.
inline constexpr std::uint64_t kFloppyDiskSize = 1457664;

class SimulatedDrive final : public Volumes {
public:
    struct Disk {
        std::string label;
        std::uint64_t size = kFloppyDiskSize;
        bool formatted = true;
        std::string folder;  // where the disk's files are kept, ending in "/"
    };

    // `root`: where the drive appears; it must not exist yet, its parent must. `store`: an
    // existing folder that receives one folder per disk. The drive starts empty.
    SimulatedDrive(std::string root, std::string store, DriveType type = DriveType::Removable,
                   Volumes& others = SystemVolumes());
    ~SimulatedDrive() override;
    SimulatedDrive(const SimulatedDrive&) = delete;
    SimulatedDrive& operator=(const SimulatedDrive&) = delete;

    // The drive's root as DriveRootOf gives it: absolute, ending in "/".
    const std::string& Root() const noexcept { return root_; }

    // Makes a new, empty disk and gives its number (0, 1, ...).
    int AddDisk(std::string label, std::uint64_t size = kFloppyDiskSize, bool formatted = true);
    Disk& DiskAt(int disk) { return disks_.at(static_cast<std::size_t>(disk)); }
    int DiskCount() const noexcept { return static_cast<int>(disks_.size()); }

    void Insert(int disk);
    void Eject();
    std::optional<int> Inserted() const noexcept { return inserted_; }

    // Disks to insert one after another, for tests whose host swaps the disk at each prompt.
    std::deque<int> queued_disks;
    // Inserts the next queued disk; false (drive left as it is) when none is queued.
    bool InsertNext();

    // Bytes taken by the files of a disk.
    std::uint64_t UsedBytes(int disk) const;

    // What the next formats answer, in order; Formatted once the queue is empty.
    std::deque<FormatOutcome> format_outcomes;
    int format_count = 0;
    // False makes SetLabel fail, as with a write-protected disk.
    bool labels_writable = true;

    std::string DriveRootOf(std::string_view path) override;
    std::uint32_t LogicalDriveMask() override { return others_.LogicalDriveMask(); }
    DriveType TypeOf(std::string_view root) override;
    VolumeInfo QueryVolume(std::string_view root) override;
    std::optional<DiskSpace> QuerySpace(std::string_view root) override;
    bool SetLabel(std::string_view root, std::string_view label) override;
    FormatOutcome Format(std::string_view root, std::string_view label) override;

private:
    bool IsOurs(std::string_view root) const;
    Disk* InsertedDisk();

    std::string root_;  // ending in "/"
    std::string link_;  // root_ without the "/"
    std::string store_;
    DriveType type_;
    Volumes& others_;
    std::vector<Disk> disks_;
    std::optional<int> inserted_;
};

}  // namespace kitforge
