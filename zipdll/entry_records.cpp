#include "entry_records.h"

#include <stdexcept>

#include "formats/zip_extra_fields.h"
#include "formats/zip_records.h"

namespace zipdll {

namespace zf = kitforge::formats;

namespace {

constexpr std::uint8_t kZipVersion = 30;  // the format version this writer follows
constexpr std::uint16_t kNeededStored = 10;
constexpr std::uint16_t kNeededDeflateOrFolder = 20;
constexpr std::uint32_t kDosReadOnly = 0x01;
constexpr std::uint32_t kDosDirectory = 0x10;
constexpr std::uint32_t kDosArchive = 0x20;
// Bits 1 and 2 tell readers how hard the deflater tried.
constexpr std::uint16_t kFlagMaximum = 0x2;
constexpr std::uint16_t kFlagFast = 0x4;
constexpr std::uint16_t kFlagSuperFast = 0x6;

// Room for what deflate may add to data that does not shrink: 5 bytes per stored block of at
// most 65,535 bytes, an empty block between pieces, with a wide margin for either engine.
constexpr std::uint64_t DeflateSlack(std::uint64_t size) { return size / 1024 + (1u << 16); }
constexpr std::uint16_t kZip64ExtraSize = 4 + 16;  // a local header's field: both sizes

bool UsesZip64(const NewEntry& entry) { return entry.zip64_local || entry.local_offset > zf::zip64::kLargest32; }

zf::Zip64Figures FiguresOf(const NewEntry& entry) { return {entry.unpacked, entry.packed, entry.local_offset, 0}; }

std::uint16_t NeededVersion(const NewEntry& entry) {
    if (UsesZip64(entry)) return zf::zip64::kNeededVersion;
    bool deflated = entry.method == zf::kMethodDeflated;
    bool encrypted = (entry.flags & zf::kFlagEncrypted) != 0;
    return deflated || encrypted || entry.is_directory ? kNeededDeflateOrFolder : kNeededStored;
}

std::uint32_t ExternalAttributes(const NewEntry& entry) {
    std::uint32_t dos = entry.is_directory ? kDosDirectory : kDosArchive;
    if (!entry.writable) dos |= kDosReadOnly;
    if (entry.force_dos) return dos;
    return (static_cast<std::uint32_t>(entry.mode & 0xFFFF) << zf::kUnixModeShift) | dos;
}

}  // namespace

bool IsValidUtf8(const std::string& text) noexcept {
    std::size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t follow = 0;
        if (c < 0x80)
            follow = 0;
        else if ((c >> 5) == 0x6)
            follow = 1;
        else if ((c >> 4) == 0xE)
            follow = 2;
        else if ((c >> 3) == 0x1E)
            follow = 3;
        else
            return false;
        if (i + follow >= text.size() && follow > 0) return false;
        for (std::size_t k = 1; k <= follow; ++k)
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) return false;
        i += follow + 1;
    }
    return true;
}

std::uint16_t EntryFlags(const std::string& name, int level, bool deflated, bool encrypted, bool descriptor) {
    std::uint16_t flags = 0;
    if (encrypted) flags |= zf::kFlagEncrypted;
    if (descriptor) flags |= zf::kFlagDataDescriptor;
    if (deflated) {
        if (level >= 8)
            flags |= kFlagMaximum;
        else if (level == 2)
            flags |= kFlagFast;
        else if (level == 1)
            flags |= kFlagSuperFast;
    }
    bool plain_ascii = true;
    for (char c : name) plain_ascii = plain_ascii && static_cast<unsigned char>(c) < 0x80;
    if (!plain_ascii && IsValidUtf8(name)) flags |= zf::kFlagUtf8;
    return flags;
}

std::vector<std::uint8_t> LocalHeader(const NewEntry& entry) {
    const std::uint16_t extra_size = entry.zip64_local ? kZip64ExtraSize : 0;
    std::vector<std::uint8_t> bytes(zf::kLocalHeaderSize + entry.name.size());
    std::uint8_t* p = bytes.data();
    bool descriptor = (entry.flags & zf::kFlagDataDescriptor) != 0;
    zf::PutU32LE(p + zf::local::kSignature, zf::kLocalHeaderSignature);
    zf::PutU16LE(p + zf::local::kNeededVersion, NeededVersion(entry));
    zf::PutU16LE(p + zf::local::kFlags, entry.flags);
    zf::PutU16LE(p + zf::local::kMethod, entry.method);
    zf::PutU32LE(p + zf::local::kDosDateTime, entry.dos_time);
    // With a data descriptor the sizes follow the data; the header leaves them zero.
    zf::PutU32LE(p + zf::local::kCrc32, descriptor ? 0 : entry.crc);
    // A zip64 header saturates both sizes and holds them (zero too, until a descriptor) in its field.
    const std::uint64_t packed = descriptor ? 0 : entry.packed;
    const std::uint64_t unpacked = descriptor ? 0 : entry.unpacked;
    zf::PutU32LE(p + zf::local::kPackedSize, zf::Classic32(packed, entry.zip64_local));
    zf::PutU32LE(p + zf::local::kUnpackedSize, zf::Classic32(unpacked, entry.zip64_local));
    zf::PutU16LE(p + zf::local::kNameLength, static_cast<std::uint16_t>(entry.name.size()));
    zf::PutU16LE(p + zf::local::kExtraLength, extra_size);
    std::copy(entry.name.begin(), entry.name.end(), bytes.begin() + zf::kLocalHeaderSize);
    if (entry.zip64_local) zf::AppendZip64Extra(bytes, {unpacked, packed, 0, 0}, {true, true, false, false});
    return bytes;
}

std::vector<std::uint8_t> DataDescriptor(const NewEntry& entry) {
    std::vector<std::uint8_t> bytes(zf::data_descriptor::kPackedSize);
    std::uint8_t* p = bytes.data();
    zf::PutU32LE(p + zf::data_descriptor::kSignature, zf::kDataDescriptorSignature);
    zf::PutU32LE(p + zf::data_descriptor::kCrc32, entry.crc);
    if (entry.zip64_local) {
        zf::AppendU64LE(bytes, entry.packed);
        zf::AppendU64LE(bytes, entry.unpacked);
    } else {
        zf::AppendU32LE(bytes, static_cast<std::uint32_t>(entry.packed));
        zf::AppendU32LE(bytes, static_cast<std::uint32_t>(entry.unpacked));
    }
    return bytes;
}

std::vector<std::uint8_t> CentralRecord(const NewEntry& entry) {
    std::vector<std::uint8_t> bytes(zf::kCentralHeaderSize + entry.name.size());
    std::uint8_t* p = bytes.data();
    zf::PutU32LE(p + zf::central::kSignature, zf::kCentralHeaderSignature);
    p[zf::central::kSpecVersion] = entry.force_dos ? static_cast<std::uint8_t>(kNeededDeflateOrFolder) : kZipVersion;
    p[zf::central::kHostSystem] = entry.force_dos ? zf::kHostMsDos : zf::kHostUnix;
    zf::PutU16LE(p + zf::central::kNeededVersion, NeededVersion(entry));
    zf::PutU16LE(p + zf::central::kFlags, entry.flags);
    zf::PutU16LE(p + zf::central::kMethod, entry.method);
    zf::PutU32LE(p + zf::central::kDosDateTime, entry.dos_time);
    zf::PutU32LE(p + zf::central::kCrc32, entry.crc);
    const zf::Zip64Slots slots = zf::SlotsNeededFor(FiguresOf(entry));
    zf::PutU32LE(p + zf::central::kPackedSize, zf::Classic32(entry.packed, slots.packed));
    zf::PutU32LE(p + zf::central::kUnpackedSize, zf::Classic32(entry.unpacked, slots.unpacked));
    zf::PutU16LE(p + zf::central::kNameLength, static_cast<std::uint16_t>(entry.name.size()));
    zf::PutU16LE(p + zf::central::kExtraLength,
                 static_cast<std::uint16_t>(slots.Any() ? zf::extra::kHeaderSize + slots.DataSize() : 0));
    zf::PutU32LE(p + zf::central::kExternalAttributes, ExternalAttributes(entry));
    zf::PutU32LE(p + zf::central::kLocalHeaderOffset, zf::Classic32(entry.local_offset, slots.local_offset));
    std::copy(entry.name.begin(), entry.name.end(), bytes.begin() + zf::kCentralHeaderSize);
    zf::AppendZip64Extra(bytes, FiguresOf(entry), slots);
    return bytes;
}

bool MayNeedZip64Sizes(std::uint64_t unpacked, bool deflated, bool encrypted) noexcept {
    std::uint64_t most = unpacked + (encrypted ? 12 : 0);
    if (deflated) most += DeflateSlack(unpacked);
    return unpacked > zf::zip64::kLargest32 || most > zf::zip64::kLargest32;
}

std::vector<std::uint8_t> MovedCentralRecord(std::vector<std::uint8_t> record, std::uint64_t offset) {
    std::uint8_t* p = record.data();
    const std::size_t name_length = zf::GetU16LE(p + zf::central::kNameLength);
    const std::size_t extra_length = zf::GetU16LE(p + zf::central::kExtraLength);
    const std::size_t extra_at = zf::kCentralHeaderSize + name_length;
    const std::span<const std::uint8_t> extra(record.data() + extra_at, extra_length);
    const zf::Zip64Slots saturated = zf::SaturatedSlots(
        zf::GetU32LE(p + zf::central::kUnpackedSize), zf::GetU32LE(p + zf::central::kPackedSize),
        zf::GetU32LE(p + zf::central::kLocalHeaderOffset), zf::GetU16LE(p + zf::central::kStartDisk));
    if (saturated.local_offset) {
        // The offset already lives in the zip64 field, after whichever sizes are there too.
        const auto field = zf::FindExtraField(extra, zf::zip64::kExtraId);
        const std::size_t at = static_cast<std::size_t>(field->data() - record.data()) +
                               8 * (std::size_t{saturated.unpacked} + std::size_t{saturated.packed});
        zf::PutU64LE(record.data() + at, offset);
        return record;
    }
    if (offset <= zf::zip64::kLargest32) {
        zf::PutU32LE(p + zf::central::kLocalHeaderOffset, static_cast<std::uint32_t>(offset));
        return record;
    }
    // The zip64 field is written anew with the offset added; the other fields stay as they were.
    zf::Zip64Figures figures{zf::GetU32LE(p + zf::central::kUnpackedSize), zf::GetU32LE(p + zf::central::kPackedSize),
                             offset, zf::GetU16LE(p + zf::central::kStartDisk)};
    zf::ApplyZip64Extra(extra, saturated, figures);
    zf::Zip64Slots slots = saturated;
    slots.local_offset = true;
    std::vector<std::uint8_t> fields;
    zf::AppendZip64Extra(fields, figures, slots);
    std::size_t at = 0;
    while (extra.size() - at >= zf::extra::kHeaderSize) {
        const std::size_t length = zf::GetU16LE(extra.data() + at + 2);
        const std::size_t end = std::min(extra.size(), at + zf::extra::kHeaderSize + length);
        if (zf::GetU16LE(extra.data() + at) != zf::zip64::kExtraId)
            fields.insert(fields.end(), extra.begin() + static_cast<std::ptrdiff_t>(at),
                          extra.begin() + static_cast<std::ptrdiff_t>(end));
        at = end;
    }
    fields.insert(fields.end(), extra.begin() + static_cast<std::ptrdiff_t>(at), extra.end());
    if (fields.size() > zf::zip64::kLargest16 + 1)
        throw std::length_error("the extra fields of an entry would grow past 65,535 bytes");
    std::vector<std::uint8_t> moved(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(extra_at));
    moved.insert(moved.end(), fields.begin(), fields.end());
    moved.insert(moved.end(), record.begin() + static_cast<std::ptrdiff_t>(extra_at + extra_length), record.end());
    p = moved.data();
    zf::PutU16LE(p + zf::central::kExtraLength, static_cast<std::uint16_t>(fields.size()));
    zf::PutU32LE(p + zf::central::kLocalHeaderOffset, zf::zip64::kSaturated32);
    if (zf::GetU16LE(p + zf::central::kNeededVersion) < zf::zip64::kNeededVersion)
        zf::PutU16LE(p + zf::central::kNeededVersion, zf::zip64::kNeededVersion);
    return moved;
}

}  // namespace zipdll
