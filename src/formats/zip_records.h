#pragma once
// The records of the zip format: signatures, record sizes and field offsets as named
// constants next to the record they belong to, and the end-of-central-directory record as
// stored. The zip component, the zip library and the self-extracting stub all read and write
// archives through these.

#include <array>
#include <cstddef>
#include <cstdint>

#include "formats/byte_order.h"

namespace kitforge::formats {

// Signatures, as the 32-bit little-endian numbers that open each record.
inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;    // "PK\3\4"
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;  // "PK\1\2"
inline constexpr std::uint32_t kEndRecordSignature = 0x06054B50;      // "PK\5\6"
// Opens the first volume of a multi-volume set; the same number marks a data descriptor.
inline constexpr std::uint32_t kSpanningSignature = 0x08074B50;  // "PK\7\x08"
inline constexpr std::uint32_t kDataDescriptorSignature = kSpanningSignature;

// Fixed sizes of the records, without their variable parts.
inline constexpr std::size_t kLocalHeaderSize = 30;
inline constexpr std::size_t kCentralHeaderSize = 46;
inline constexpr std::size_t kEndRecordSize = 22;
inline constexpr std::size_t kDataDescriptorSize = 16;  // with its signature
inline constexpr std::size_t kMaxCommentLength = 65535;
// The end record with the longest comment: the most of a file's tail that can hold it.
inline constexpr std::size_t kEndSearchWindow = kMaxCommentLength + kEndRecordSize;

// General-purpose flag bits.
inline constexpr std::uint16_t kFlagEncrypted = 1u << 0;
inline constexpr std::uint16_t kFlagDataDescriptor = 1u << 3;
inline constexpr std::uint16_t kFlagUtf8 = 1u << 11;  // name and comment are UTF-8

// Host systems (high byte of "version made by") whose names are in an OEM code page.
inline constexpr std::uint8_t kHostMsDos = 0;
inline constexpr std::uint8_t kHostUnix = 3;
inline constexpr std::uint8_t kHostOs2Hpfs = 6;
inline constexpr std::uint8_t kHostWindowsNtfs = 11;

// An entry made on Unix keeps its file mode in the high half of its external attributes.
inline constexpr unsigned kUnixModeShift = 16;
inline constexpr std::uint32_t kUnixTypeMask = 0170000;
inline constexpr std::uint32_t kUnixSymbolicLink = 0120000;

// Compression methods.
inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;

// Fields of the local file header.
namespace local {
inline constexpr std::size_t kSignature = 0;
inline constexpr std::size_t kNeededVersion = 4;
inline constexpr std::size_t kFlags = 6;
inline constexpr std::size_t kMethod = 8;
inline constexpr std::size_t kDosDateTime = 10;  // time, then date
inline constexpr std::size_t kCrc32 = 14;
inline constexpr std::size_t kPackedSize = 18;
inline constexpr std::size_t kUnpackedSize = 22;
inline constexpr std::size_t kNameLength = 26;
inline constexpr std::size_t kExtraLength = 28;
}  // namespace local

// Fields of the data descriptor that follows an entry's data when its local header leaves the
// sizes zero.
namespace data_descriptor {
inline constexpr std::size_t kSignature = 0;
inline constexpr std::size_t kCrc32 = 4;
inline constexpr std::size_t kPackedSize = 8;
inline constexpr std::size_t kUnpackedSize = 12;
// Its signature is optional: a descriptor without it is this much shorter.
inline constexpr std::size_t kSignatureSize = 4;
}  // namespace data_descriptor

// Fields of the central directory header.
namespace central {
inline constexpr std::size_t kSignature = 0;
inline constexpr std::size_t kSpecVersion = 4;  // low byte of "version made by"
inline constexpr std::size_t kHostSystem = 5;   // high byte of "version made by"
inline constexpr std::size_t kNeededVersion = 6;
inline constexpr std::size_t kFlags = 8;
inline constexpr std::size_t kMethod = 10;
inline constexpr std::size_t kDosDateTime = 12;  // time, then date
inline constexpr std::size_t kCrc32 = 16;
inline constexpr std::size_t kPackedSize = 20;
inline constexpr std::size_t kUnpackedSize = 24;
inline constexpr std::size_t kNameLength = 28;
inline constexpr std::size_t kExtraLength = 30;
inline constexpr std::size_t kCommentLength = 32;
inline constexpr std::size_t kStartDisk = 34;
inline constexpr std::size_t kInternalAttributes = 36;
inline constexpr std::size_t kExternalAttributes = 38;
inline constexpr std::size_t kLocalHeaderOffset = 42;
}  // namespace central

// Fields of the end-of-central-directory record.
namespace end_record {
inline constexpr std::size_t kSignature = 0;
inline constexpr std::size_t kThisDisk = 4;
inline constexpr std::size_t kCentralDisk = 6;
inline constexpr std::size_t kDiskEntries = 8;
inline constexpr std::size_t kTotalEntries = 10;
inline constexpr std::size_t kCentralSize = 12;
inline constexpr std::size_t kCentralStart = 16;
inline constexpr std::size_t kCommentSize = 20;
}  // namespace end_record

// Archives of more than 65,535 entries, or whose directory lies beyond 4 GiB, keep the real
// figures in a zip64 end record, found through a locator right before the classic end record.
namespace zip64 {
inline constexpr std::uint32_t kEndRecordSignature = 0x06064B50;  // "PK\6\6"
inline constexpr std::uint32_t kLocatorSignature = 0x07064B50;    // "PK\6\7"
inline constexpr std::size_t kEndRecordSize = 56;                 // without extensible data
inline constexpr std::size_t kLocatorSize = 20;
namespace end_record {
inline constexpr std::size_t kSignature = 0;
inline constexpr std::size_t kRecordSize = 4;  // 64-bit: the size of what follows this field
inline constexpr std::size_t kThisDisk = 16;
inline constexpr std::size_t kCentralDisk = 20;
inline constexpr std::size_t kDiskEntries = 24;
inline constexpr std::size_t kTotalEntries = 32;
inline constexpr std::size_t kCentralSize = 40;
inline constexpr std::size_t kCentralStart = 48;
}  // namespace end_record
namespace locator {
inline constexpr std::size_t kSignature = 0;
inline constexpr std::size_t kEndRecordDisk = 4;
inline constexpr std::size_t kEndRecordOffset = 8;  // 64-bit
inline constexpr std::size_t kTotalDisks = 16;
}  // namespace locator
// Classic end-record fields that hold these values defer to the zip64 end record.
inline constexpr std::uint16_t kSaturated16 = 0xFFFF;
inline constexpr std::uint32_t kSaturated32 = 0xFFFFFFFF;
// The extra field of an entry that holds its 64-bit sizes and offset.
inline constexpr std::uint16_t kExtraId = 0x0001;
}  // namespace zip64

// The 22-byte end-of-central-directory record exactly as stored, with named access to its
// fields. Writers that move an archive change CentralStart (and, for volumes, the disks).
struct EndRecord {
    std::array<std::uint8_t, kEndRecordSize> bytes{};

    std::uint32_t EndSignature() const noexcept { return GetU32LE<end_record::kSignature>(bytes); }
    std::uint16_t ThisDisk() const noexcept { return GetU16LE<end_record::kThisDisk>(bytes); }
    std::uint16_t CentralDisk() const noexcept { return GetU16LE<end_record::kCentralDisk>(bytes); }
    std::uint16_t DiskEntries() const noexcept { return GetU16LE<end_record::kDiskEntries>(bytes); }
    std::uint16_t TotalEntries() const noexcept { return GetU16LE<end_record::kTotalEntries>(bytes); }
    std::uint32_t CentralSize() const noexcept { return GetU32LE<end_record::kCentralSize>(bytes); }
    std::uint32_t CentralStart() const noexcept { return GetU32LE<end_record::kCentralStart>(bytes); }
    std::uint16_t CommentSize() const noexcept { return GetU16LE<end_record::kCommentSize>(bytes); }

    void SetThisDisk(std::uint16_t v) noexcept { PutU16LE<end_record::kThisDisk>(bytes, v); }
    void SetCentralDisk(std::uint16_t v) noexcept { PutU16LE<end_record::kCentralDisk>(bytes, v); }
    void SetCentralStart(std::uint32_t v) noexcept { PutU32LE<end_record::kCentralStart>(bytes, v); }

    // An empty archive's record: the signature and zeros.
    static EndRecord Empty() noexcept {
        EndRecord record;
        PutU32LE<end_record::kSignature>(record.bytes, kEndRecordSignature);
        return record;
    }
};

}  // namespace kitforge::formats
