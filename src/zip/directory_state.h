#pragma once
// What the zip component knows about the current archive and its drive: the entries of its
// directory, the figures about the file, and the open input while a reading runs. The
// component keeps it private; callers read the figures through its accessors.

#include <cstdint>
#include <string>
#include <vector>

#include "os/file.h"
#include "zip/zip_dir_entry.h"

namespace kitforge {

// DiskSize and DiskFree when the volume gave no figure.
inline constexpr std::uint64_t kSizeNotDetermined = ~std::uint64_t{0};

// The figures QueryDiskSpace updates, as bits of its argument.
namespace disk_figure {
inline constexpr int kFree = 1;
inline constexpr int kSize = 2;
}  // namespace disk_figure

struct DirectoryState {
    std::vector<ZipDirEntry> Entries;
    // The file being read: the archive, or the volume of a set now in the drive.
    std::string InputPath;
    File InputHandle;
    // The root of the archive's drive, ending in a separator (here the mount point).
    std::string DriveRoot;
    std::string VolumeLabel;
    std::uint64_t DiskSize = 0;
    std::uint64_t DiskFree = 0;
    // Positions and sizes in the archive file. They are 64-bit so that a file of 4 GiB or
    // more is never wrapped into a wrong small figure.
    std::int64_t PhysicalSize = 0;
    std::int64_t ArchiveSize = 0;
    std::int64_t EndRecordOffset = 0;
    std::int64_t CentralOffset = 0;
    std::int64_t StubSize = 0;
    std::string ArchiveComment;
    bool OffsetsShifted = false;
    bool SpannedArchive = false;
    int TotalDisks = 0;
    int CurrentDisk = 0;
    // Set when the directory's figures came from a zip64 end record (archives of more than
    // 65,535 entries or with a directory beyond 4 GiB). The 22-byte end record then holds
    // saturated fields; these are the real ones.
    bool Zip64Directory = false;
    std::uint64_t Zip64TotalEntries = 0;
    std::uint64_t Zip64CentralSize = 0;
    std::uint64_t Zip64CentralStart = 0;
    // The central directory's offset as the archive records it, during a reading.
    std::int64_t RecordedCentralStart = 0;
};

}  // namespace kitforge
