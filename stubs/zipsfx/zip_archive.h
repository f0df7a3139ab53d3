#pragma once
// The zip archive that follows the header, read from its central directory. Every length and
// offset in it is a claim that is checked against the file before use; an archive that does
// not hold together is refused as a whole before anything is extracted.
//
// The archive's offsets may count from the start of the executable (the usual form) or from
// wherever the archive had them before a stub was put in front (a source that was itself
// shifted). Both are read the same way: the distance between where the central directory
// really stands (just before the end record) and where the end record says it stands is added
// to every local header offset. An archive with a zip64 end record (found before the classic
// one) is read by its figures, and each entry's zip64 field gives the sizes and the offset that
// its classic slots cannot hold.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/zip_records.h"
#include "zipsfx/byte_source.h"

namespace kitforge::zipsfx {

struct ArchiveEntry {
    // The name as stored, or the UTF-8 name of its Unicode Path field when that was written
    // for the stored name: the name shown, checked and extracted.
    std::string stored_name;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint8_t host_system = 0;
    std::uint32_t crc32 = 0;
    std::uint64_t packed_size = 0;
    std::uint64_t unpacked_size = 0;
    std::uint32_t dos_date_time = 0;
    std::uint32_t external_attributes = 0;
    std::uint64_t data_offset = 0;  // where the entry's data starts in the file

    // Encrypted: with the traditional cipher, unless UnsupportedReason says otherwise.
    bool IsEncrypted() const { return flags & formats::kFlagEncrypted; }
    // The stored name ends in a separator.
    bool IsDirectoryName() const;
    // The Unix permission and type bits, when the entry was made on Unix.
    std::optional<std::uint32_t> UnixMode() const;
    bool IsSymbolicLink() const;
    // Why this program cannot extract the entry, or "" when it can: stored or deflated, plain
    // or traditionally encrypted (with its password), zip64 or not.
    std::string UnsupportedReason() const;
};

struct ZipArchive {
    std::vector<ArchiveEntry> entries;
    std::string comment;
    std::uint64_t central_directory = 0;  // where the central directory stands in the file
    std::uint64_t end_record = 0;         // where the end record stands; the comment follows it
    std::int64_t shift = 0;               // added to every stored offset
};

// Reads the archive that starts at `archive_start`. Throws SfxError naming the source and the
// fault when there is no archive or its directory does not hold together.
ZipArchive ReadZipArchive(ByteSource& source, std::uint64_t archive_start);

}  // namespace kitforge::zipsfx
