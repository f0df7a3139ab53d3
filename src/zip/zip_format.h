#pragma once
// The records of the zip format that this program reads and writes: signatures, record sizes
// and field offsets as named constants, little-endian readers and writers, a bounds-checked
// cursor over bytes, the end-of-central-directory record, the directory entry that the zip
// component keeps, and the one check of entry names that every extractor applies.
//
// Header-only and free of the rest of the program, so the stubs and the zip library can use
// it as it is.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kitforge::zip_format {

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
inline constexpr std::size_t kEndRecordSize = 56;  // without extensible data
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

// Little-endian numbers at a position of a byte block. The caller has checked the bounds;
// the fixed-size forms below check them at compile time.
inline std::uint16_t GetU16LE(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetU32LE(const std::uint8_t* p) noexcept {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t GetU64LE(const std::uint8_t* p) noexcept {
    return static_cast<std::uint64_t>(GetU32LE(p)) | (static_cast<std::uint64_t>(GetU32LE(p + 4)) << 32);
}
inline void PutU16LE(std::uint8_t* p, std::uint16_t value) noexcept {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void PutU32LE(std::uint8_t* p, std::uint32_t value) noexcept {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

template <std::size_t Offset, std::size_t N>
std::uint16_t GetU16LE(const std::array<std::uint8_t, N>& bytes) noexcept {
    static_assert(Offset + 2 <= N);
    return GetU16LE(bytes.data() + Offset);
}
template <std::size_t Offset, std::size_t N>
std::uint32_t GetU32LE(const std::array<std::uint8_t, N>& bytes) noexcept {
    static_assert(Offset + 4 <= N);
    return GetU32LE(bytes.data() + Offset);
}
template <std::size_t Offset, std::size_t N>
std::uint64_t GetU64LE(const std::array<std::uint8_t, N>& bytes) noexcept {
    static_assert(Offset + 8 <= N);
    return GetU64LE(bytes.data() + Offset);
}
template <std::size_t Offset, std::size_t N>
void PutU16LE(std::array<std::uint8_t, N>& bytes, std::uint16_t value) noexcept {
    static_assert(Offset + 2 <= N);
    PutU16LE(bytes.data() + Offset, value);
}
template <std::size_t Offset, std::size_t N>
void PutU32LE(std::array<std::uint8_t, N>& bytes, std::uint32_t value) noexcept {
    static_assert(Offset + 4 <= N);
    PutU32LE(bytes.data() + Offset, value);
}

// Reads numbers and byte runs from a block, front to back. A read past the end yields zeros
// and clears Ok() for good, so a record can be decoded in one run and checked once.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}

    bool Ok() const noexcept { return ok_; }
    std::size_t Position() const noexcept { return position_; }
    std::size_t Remaining() const noexcept { return bytes_.size() - position_; }

    std::uint8_t U8() noexcept {
        const auto* p = Take(1);
        return p ? p[0] : 0;
    }
    std::uint16_t U16LE() noexcept {
        const auto* p = Take(2);
        return p ? GetU16LE(p) : 0;
    }
    std::uint32_t U32LE() noexcept {
        const auto* p = Take(4);
        return p ? GetU32LE(p) : 0;
    }
    // The next `count` bytes; empty (and not Ok) when fewer remain.
    std::span<const std::uint8_t> Bytes(std::size_t count) noexcept {
        const auto* p = Take(count);
        return p ? std::span<const std::uint8_t>(p, count) : std::span<const std::uint8_t>();
    }
    void Skip(std::size_t count) noexcept { Take(count); }

private:
    const std::uint8_t* Take(std::size_t count) noexcept {
        if (!ok_ || count > Remaining()) {
            ok_ = false;
            return nullptr;
        }
        const std::uint8_t* p = bytes_.data() + position_;
        position_ += count;
        return p;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool ok_ = true;
};

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

// True when the four bytes at `p` are the end record's signature.
inline bool IsEndRecordSignatureAt(const std::uint8_t* p) noexcept {
    return GetU32LE(p) == kEndRecordSignature;
}

// A name stored in an archive that an extractor must refuse, or nullptr when it may be
// written below a target folder. Names are refused, never repaired, so that what lands on
// the disk is exactly what the archive says or nothing at all. Both "/" and "\" count as
// separators, since archives made on Windows may use either.
inline const char* EntryNameProblem(std::string_view name) noexcept {
    if (name.empty()) return "the name is empty";
    if (name.find('\0') != std::string_view::npos) return "the name holds a zero byte";
    if (name.front() == '/' || name.front() == '\\') return "the name is an absolute path";
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
        return "the name starts with a drive letter";
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(start, end - start) == "..") return "the name climbs out of its folder with \"..\"";
        start = end + 1;
    }
    return nullptr;
}

}  // namespace kitforge::zip_format
