#pragma once
// The zip records this library reads and writes: signatures, record sizes and field offsets as
// named constants, little-endian access, a bounds-checked cursor and the end record. The
// library is a program of its own, so it keeps its own copy of the few it needs.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zipdll::layout {

inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;
inline constexpr std::uint32_t kEndRecordSignature = 0x06054B50;
inline constexpr std::uint32_t kDataDescriptorSignature = 0x08074B50;

inline constexpr std::size_t kLocalHeaderSize = 30;
inline constexpr std::size_t kCentralHeaderSize = 46;
inline constexpr std::size_t kEndRecordSize = 22;
inline constexpr std::size_t kDataDescriptorSize = 16;  // with its signature
// The end record with the longest comment: the most of a file's tail that can hold it.
inline constexpr std::size_t kEndSearchWindow = 65535 + kEndRecordSize;

inline constexpr std::uint16_t kFlagEncrypted = 1u << 0;
inline constexpr std::uint16_t kFlagDataDescriptor = 1u << 3;
inline constexpr std::uint16_t kFlagUtf8 = 1u << 11;

inline constexpr std::uint8_t kHostMsDos = 0;
inline constexpr std::uint8_t kHostUnix = 3;

inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;

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

namespace central {
inline constexpr std::size_t kSignature = 0;
inline constexpr std::size_t kSpecVersion = 4;
inline constexpr std::size_t kHostSystem = 5;
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
inline constexpr std::size_t kExternalAttributes = 38;
inline constexpr std::size_t kLocalHeaderOffset = 42;
}  // namespace central

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

// Archives past the classic limits put a locator right before the end record.
namespace zip64 {
inline constexpr std::uint32_t kLocatorSignature = 0x07064B50;
inline constexpr std::size_t kLocatorSize = 20;
inline constexpr std::uint32_t kSaturated32 = 0xFFFFFFFF;
inline constexpr std::uint16_t kExtraId = 0x0001;
}  // namespace zip64

inline std::uint16_t GetU16LE(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetU32LE(const std::uint8_t* p) noexcept {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void PutU16LE(std::uint8_t* p, std::uint16_t value) noexcept {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void PutU32LE(std::uint8_t* p, std::uint32_t value) noexcept {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
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
void PutU16LE(std::array<std::uint8_t, N>& bytes, std::uint16_t value) noexcept {
    static_assert(Offset + 2 <= N);
    PutU16LE(bytes.data() + Offset, value);
}
template <std::size_t Offset, std::size_t N>
void PutU32LE(std::array<std::uint8_t, N>& bytes, std::uint32_t value) noexcept {
    static_assert(Offset + 4 <= N);
    PutU32LE(bytes.data() + Offset, value);
}

// Reads front to back; a read past the end yields zeros and clears Ok() for good, so a record
// can be decoded in one run and checked once.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}
    bool Ok() const noexcept { return ok_; }
    std::size_t Position() const noexcept { return position_; }
    std::size_t Remaining() const noexcept { return bytes_.size() - position_; }
    std::uint16_t U16LE() noexcept {
        const auto* p = Take(2);
        return p ? GetU16LE(p) : 0;
    }
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

// The 22-byte end-of-central-directory record as stored.
struct EndRecord {
    std::array<std::uint8_t, kEndRecordSize> bytes{};

    std::uint16_t ThisDisk() const noexcept { return GetU16LE<end_record::kThisDisk>(bytes); }
    std::uint16_t CentralDisk() const noexcept { return GetU16LE<end_record::kCentralDisk>(bytes); }
    std::uint16_t DiskEntries() const noexcept { return GetU16LE<end_record::kDiskEntries>(bytes); }
    std::uint16_t TotalEntries() const noexcept { return GetU16LE<end_record::kTotalEntries>(bytes); }
    std::uint32_t CentralSize() const noexcept { return GetU32LE<end_record::kCentralSize>(bytes); }
    std::uint32_t CentralStart() const noexcept { return GetU32LE<end_record::kCentralStart>(bytes); }
    std::uint16_t CommentSize() const noexcept { return GetU16LE<end_record::kCommentSize>(bytes); }
    void SetCentralStart(std::uint32_t v) noexcept { PutU32LE<end_record::kCentralStart>(bytes, v); }

    static EndRecord Empty() noexcept {
        EndRecord record;
        PutU32LE<end_record::kSignature>(record.bytes, kEndRecordSignature);
        return record;
    }
};

inline bool IsEndRecordSignatureAt(const std::uint8_t* p) noexcept { return GetU32LE(p) == kEndRecordSignature; }

}  // namespace zipdll::layout
