#pragma once
// The extra fields of zip headers that every reader and writer here must agree on: the zip64
// field that carries sizes, offsets and disks too large for their classic 32- or 16-bit
// slots, the Unicode Path and Comment fields that carry a UTF-8 name beside a code-page one,
// and the zip64 end record and its locator as stored. Nothing here trusts the bytes it is
// given: every field is walked within its own length.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "formats/byte_order.h"
#include "formats/zip_records.h"

namespace kitforge::formats {

namespace extra {
inline constexpr std::size_t kHeaderSize = 4;  // id, then the length of the data
inline constexpr std::uint16_t kUnicodePathId = 0x7075;
inline constexpr std::uint16_t kUnicodeCommentId = 0x6375;
inline constexpr std::uint8_t kUnicodeVersion = 1;
inline constexpr std::size_t kUnicodePrefixSize = 5;  // version, then the CRC-32 of the header's text
}  // namespace extra

namespace zip64 {
// Readers need this version to understand zip64 records.
inline constexpr std::uint16_t kNeededVersion = 45;
// A data descriptor with 64-bit sizes, signature included.
inline constexpr std::size_t kDataDescriptorSize = 24;
// The largest value a classic 32-bit field holds as itself; this and more go to zip64.
inline constexpr std::uint64_t kLargest32 = kSaturated32 - 1;
inline constexpr std::uint64_t kLargest16 = kSaturated16 - 1;
}  // namespace zip64

// The data of the first extra field with `id`; none when no such field stands before the
// first malformed one (a length that runs past the block ends the walk).
constexpr std::optional<std::span<const std::uint8_t>> FindExtraField(std::span<const std::uint8_t> block,
                                                                      std::uint16_t id) noexcept {
    std::size_t at = 0;
    while (block.size() - at >= extra::kHeaderSize) {
        const std::uint16_t field_id = GetU16LE(block.data() + at);
        const std::size_t length = GetU16LE(block.data() + at + 2);
        at += extra::kHeaderSize;
        if (length > block.size() - at) return std::nullopt;
        if (field_id == id) return block.subspan(at, length);
        at += length;
    }
    return std::nullopt;
}

// The figures of an entry that may need 64 bits, as the program works with them.
struct Zip64Figures {
    std::uint64_t unpacked = 0;
    std::uint64_t packed = 0;
    std::uint64_t local_offset = 0;
    std::uint32_t start_disk = 0;
};

// Which of an entry's figures a zip64 extra field holds: those whose classic slot is
// saturated, always in this order.
struct Zip64Slots {
    bool unpacked = false;
    bool packed = false;
    bool local_offset = false;
    bool start_disk = false;

    constexpr bool Any() const noexcept { return unpacked || packed || local_offset || start_disk; }
    constexpr std::size_t DataSize() const noexcept { return 8 * (unpacked + packed + local_offset) + 4 * start_disk; }
};

// The slots a writer must move to zip64 for these figures (as Info-ZIP decides: a value
// equal to the saturated one goes too, so that it is never mistaken for a deferral). A local
// header that needs either size carries both.
constexpr Zip64Slots SlotsNeededFor(const Zip64Figures& figures, bool local_header = false) noexcept {
    Zip64Slots slots;
    slots.unpacked = figures.unpacked > zip64::kLargest32;
    slots.packed = figures.packed > zip64::kLargest32;
    if (local_header) {
        slots.unpacked = slots.packed = slots.unpacked || slots.packed;
        return slots;
    }
    slots.local_offset = figures.local_offset > zip64::kLargest32;
    slots.start_disk = figures.start_disk > zip64::kLargest16;
    return slots;
}

// The slots a reader must take from the zip64 field, given the header's classic values.
constexpr Zip64Slots SaturatedSlots(std::uint32_t unpacked, std::uint32_t packed, std::uint32_t local_offset,
                                    std::uint16_t start_disk) noexcept {
    return {unpacked == zip64::kSaturated32, packed == zip64::kSaturated32, local_offset == zip64::kSaturated32,
            start_disk == zip64::kSaturated16};
}

enum class Zip64Reading {
    kNotNeeded,  // no slot was saturated; the figures are the classic values
    kApplied,    // the saturated slots were replaced from the zip64 field
    kMissing,    // a slot is saturated but the header has no zip64 field
    kShort,      // the zip64 field is too short for the saturated slots
};

// Replaces the saturated slots of `figures` (already holding the classic values) from the
// zip64 field in `block`. A local header's field holds both sizes when it holds either, even
// where only one was saturated; some writers also put both there with neither saturated.
constexpr Zip64Reading ApplyZip64Extra(std::span<const std::uint8_t> block, Zip64Slots saturated, Zip64Figures& figures,
                                       bool local_header = false) noexcept {
    if (!saturated.Any()) return Zip64Reading::kNotNeeded;
    const auto field = FindExtraField(block, zip64::kExtraId);
    if (!field) return Zip64Reading::kMissing;
    Zip64Slots slots = saturated;
    if (local_header && (slots.unpacked || slots.packed) && field->size() >= 16) slots.unpacked = slots.packed = true;
    if (field->size() < slots.DataSize()) return Zip64Reading::kShort;
    std::size_t at = 0;
    const auto next64 = [&] {
        const std::uint64_t value = GetU64LE(field->data() + at);
        at += 8;
        return value;
    };
    if (slots.unpacked) figures.unpacked = next64();
    if (slots.packed) figures.packed = next64();
    if (slots.local_offset) figures.local_offset = next64();
    if (slots.start_disk) figures.start_disk = GetU32LE(field->data() + at);
    return Zip64Reading::kApplied;
}

// Appends a zip64 extra field holding the figures of `slots` (nothing when there are none).
inline void AppendZip64Extra(std::vector<std::uint8_t>& out, const Zip64Figures& figures, Zip64Slots slots) {
    if (!slots.Any()) return;
    AppendU16LE(out, zip64::kExtraId);
    AppendU16LE(out, static_cast<std::uint16_t>(slots.DataSize()));
    if (slots.unpacked) AppendU64LE(out, figures.unpacked);
    if (slots.packed) AppendU64LE(out, figures.packed);
    if (slots.local_offset) AppendU64LE(out, figures.local_offset);
    if (slots.start_disk) AppendU32LE(out, figures.start_disk);
}

// The classic slot of a figure: itself, or the saturated value when zip64 holds it.
constexpr std::uint32_t Classic32(std::uint64_t value, bool in_zip64) noexcept {
    return in_zip64 ? zip64::kSaturated32 : static_cast<std::uint32_t>(value);
}
constexpr std::uint16_t Classic16(std::uint64_t value, bool in_zip64) noexcept {
    return in_zip64 ? zip64::kSaturated16 : static_cast<std::uint16_t>(value);
}

// The UTF-8 text of a Unicode Path (or Comment) extra field, when the field is of the version
// known here and was written for the same header text: `header_crc` is the CRC-32 of the
// header's own name (or comment) bytes. A stale field, left behind by a tool that renamed the
// entry without knowing it, no longer matches and is ignored, as every peer does.
constexpr std::optional<std::string_view> UnicodeExtraText(std::span<const std::uint8_t> block, std::uint16_t id,
                                                           std::uint32_t header_crc) noexcept {
    const auto field = FindExtraField(block, id);
    if (!field || field->size() < extra::kUnicodePrefixSize) return std::nullopt;
    if ((*field)[0] != extra::kUnicodeVersion || GetU32LE(field->data() + 1) != header_crc) return std::nullopt;
    const auto text = field->subspan(extra::kUnicodePrefixSize);
    return std::string_view(reinterpret_cast<const char*>(text.data()), text.size());
}

// The zip64 end-of-central-directory record as stored, without extensible data.
struct Zip64EndRecord {
    std::array<std::uint8_t, zip64::kEndRecordSize> bytes{};

    std::uint32_t Signature() const noexcept { return GetU32LE<zip64::end_record::kSignature>(bytes); }
    std::uint64_t RecordSize() const noexcept { return GetU64LE<zip64::end_record::kRecordSize>(bytes); }
    std::uint32_t ThisDisk() const noexcept { return GetU32LE<zip64::end_record::kThisDisk>(bytes); }
    std::uint32_t CentralDisk() const noexcept { return GetU32LE<zip64::end_record::kCentralDisk>(bytes); }
    std::uint64_t DiskEntries() const noexcept { return GetU64LE<zip64::end_record::kDiskEntries>(bytes); }
    std::uint64_t TotalEntries() const noexcept { return GetU64LE<zip64::end_record::kTotalEntries>(bytes); }
    std::uint64_t CentralSize() const noexcept { return GetU64LE<zip64::end_record::kCentralSize>(bytes); }
    std::uint64_t CentralStart() const noexcept { return GetU64LE<zip64::end_record::kCentralStart>(bytes); }

    void SetThisDisk(std::uint32_t v) noexcept { PutU32LE<zip64::end_record::kThisDisk>(bytes, v); }
    void SetCentralDisk(std::uint32_t v) noexcept { PutU32LE<zip64::end_record::kCentralDisk>(bytes, v); }
    void SetDiskEntries(std::uint64_t v) noexcept { PutU64LE<zip64::end_record::kDiskEntries>(bytes, v); }
    void SetCentralStart(std::uint64_t v) noexcept { PutU64LE<zip64::end_record::kCentralStart>(bytes, v); }

    // A record for a directory of `entries` entries and `size` bytes starting at `start`,
    // made by and needing version 4.5, on disk 0 unless set otherwise.
    static Zip64EndRecord Make(std::uint64_t entries, std::uint64_t size, std::uint64_t start,
                               std::uint16_t made_by = zip64::kNeededVersion) noexcept {
        Zip64EndRecord record;
        PutU32LE<zip64::end_record::kSignature>(record.bytes, zip64::kEndRecordSignature);
        PutU64LE<zip64::end_record::kRecordSize>(record.bytes, zip64::kEndRecordSize - 12);
        PutU16LE<12>(record.bytes, made_by);
        PutU16LE<14>(record.bytes, zip64::kNeededVersion);
        PutU64LE<zip64::end_record::kDiskEntries>(record.bytes, entries);
        PutU64LE<zip64::end_record::kTotalEntries>(record.bytes, entries);
        PutU64LE<zip64::end_record::kCentralSize>(record.bytes, size);
        PutU64LE<zip64::end_record::kCentralStart>(record.bytes, start);
        return record;
    }
};

// The locator that stands right before the classic end record and points at the zip64 one.
struct Zip64Locator {
    std::array<std::uint8_t, zip64::kLocatorSize> bytes{};

    std::uint32_t Signature() const noexcept { return GetU32LE<zip64::locator::kSignature>(bytes); }
    std::uint32_t EndRecordDisk() const noexcept { return GetU32LE<zip64::locator::kEndRecordDisk>(bytes); }
    std::uint64_t EndRecordOffset() const noexcept { return GetU64LE<zip64::locator::kEndRecordOffset>(bytes); }
    std::uint32_t TotalDisks() const noexcept { return GetU32LE<zip64::locator::kTotalDisks>(bytes); }

    void SetEndRecordOffset(std::uint64_t v) noexcept { PutU64LE<zip64::locator::kEndRecordOffset>(bytes, v); }

    static Zip64Locator Make(std::uint64_t end_record_offset, std::uint32_t end_record_disk = 0,
                             std::uint32_t total_disks = 1) noexcept {
        Zip64Locator locator;
        PutU32LE<zip64::locator::kSignature>(locator.bytes, zip64::kLocatorSignature);
        PutU32LE<zip64::locator::kEndRecordDisk>(locator.bytes, end_record_disk);
        PutU64LE<zip64::locator::kEndRecordOffset>(locator.bytes, end_record_offset);
        PutU32LE<zip64::locator::kTotalDisks>(locator.bytes, total_disks);
        return locator;
    }
};

}  // namespace kitforge::formats
