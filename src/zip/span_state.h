#pragma once
// What the multi-volume writer keeps while it copies an archive onto volumes. The component
// keeps it private.

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "formats/zip_extra_fields.h"
#include "os/file.h"
#include "zip/zip_results.h"

namespace kitforge {

// Where the local header of one entry went: the volume and the offset within it. Central
// records are matched to these by name.
struct VolumeEntry {
    std::uint32_t disk = 0;
    std::uint64_t offset = 0;
    std::uint16_t name_length = 0;
    std::string name;
    bool claimed = false;  // a central record has already taken this position
};

// What the central record of the archive being copied says of an entry, found by the offset
// of its local header: the local header of an entry written with a data descriptor, or with
// a zip64 field, may leave its sizes out.
struct SourceEntry {
    std::uint64_t local_offset = 0;
    std::uint64_t packed = 0;
    std::uint32_t crc = 0;
    // The central record keeps a size in its zip64 field: a data descriptor after the data
    // then has 64-bit sizes.
    bool zip64_sizes = false;
};

struct SpanState {
    std::string OutputPath;
    File OutputHandle;
    bool NewDiskNeeded = false;
    // The modification time of the archive being copied, in nanoseconds since 1970; every
    // finished volume gets it.
    std::int64_t SourceDate = 0;
    // The device and inode of the archive being copied, so that no volume overwrites it.
    std::int64_t SourceDevice = -1;
    std::int64_t SourceInode = -1;
    bool ProgressActive = false;
    std::int64_t VolumeBytesWritten = 0;
    std::vector<VolumeEntry> VolumeEntries;
    // Every entry of the archive being copied, by local-header offset.
    std::vector<SourceEntry> SourceEntries;
    // The directory of the archive being copied: its entries, its size and where it starts
    // in the file, and its zip64 end record when it has one.
    std::uint64_t SourceEntryCount = 0;
    std::uint64_t SourceCentralSize = 0;
    std::int64_t SourceCentralStart = 0;
    bool SourceZip64 = false;
    formats::Zip64EndRecord SourceZip64Record;
    // The volume and offset of the first central record written, and the bytes of the
    // directory written (more than read when records needed zip64 fields).
    int CentralRecordDisk = 0;
    std::int64_t CentralRecordOffset = 0;
    std::uint64_t CentralBytesWritten = 0;
    // The system's error code of the read or write that failed a span, or 0; the report of
    // the failure gives its text after the file.
    int FailureErrorCode = 0;
    // The volume being written, until it is complete and closed; a span that fails removes it,
    // so no cut-off volume is left under a volume's name.
    std::string OpenVolumePath;

    int FormatDrive = 0;
    bool FormatAutoStart = false;
    // Written by the thread that formats, read by the one that waits for it.
    std::atomic<int> FormatState{format_state::kNotStarted};
    std::atomic<int> FormatResult{format_result::kPending};
};

}  // namespace kitforge
