#pragma once
// One entry of an archive's central directory as the zip component keeps it: the fixed part
// of the stored header, field for field, then the name and the comment as text, then the
// entry's real sizes, offset and disk, which may need more bits than the stored fields have.

#include <array>
#include <cstdint>
#include <string>

#include "formats/zip_records.h"

namespace kitforge {

struct ZipDirEntry {
    // Bytes 4 to 45 of the central header, in their stored order and widths.
    std::uint8_t SpecVersion = 0;  // low byte of "version made by"
    std::uint8_t HostSystem = 0;   // high byte of "version made by"
    std::uint16_t NeededVersion = 0;
    std::uint16_t Flags = 0;
    std::uint16_t Method = 0;
    std::uint32_t DosDateTime = 0;  // time in the low 16 bits, date in the high 16 bits
    std::uint32_t Crc32 = 0;
    std::uint32_t PackedSize = 0;
    std::uint32_t UnpackedSize = 0;
    std::uint16_t NameLength = 0;
    std::uint16_t ExtraLength = 0;
    std::uint16_t CommentLength = 0;
    std::uint16_t StartDisk = 0;
    std::uint16_t InternalAttributes = 0;
    std::uint32_t ExternalAttributes = 0;
    std::uint32_t LocalHeaderOffset = 0;
    // The stored name after the code-page conversion, with every "/" turned into "\".
    std::string FileName;
    // The stored file comment after the code-page conversion; empty when none is stored.
    std::string FileComment;
    // The figures the program works with. They equal the stored fields above, except where a
    // stored field holds its saturated value (0xFFFFFFFF, 0xFFFF): then the figure is the one
    // of the entry's zip64 extra field, which an archive over 4 GiB, or an entry of 4 GiB or
    // more, needs. The stored fields keep the saturated value, as stored.
    std::uint64_t PackedSize64 = 0;
    std::uint64_t UnpackedSize64 = 0;
    std::uint64_t LocalHeaderOffset64 = 0;
    std::uint32_t StartDisk32 = 0;
};

// The fixed fields of a 46-byte central header (its signature is not looked at); the real
// figures start as the stored ones.
inline void DecodeCentralHeader(const std::array<std::uint8_t, formats::kCentralHeaderSize>& header,
                                ZipDirEntry& entry) noexcept {
    namespace c = formats::central;
    using formats::GetU16LE;
    using formats::GetU32LE;
    entry.SpecVersion = header[c::kSpecVersion];
    entry.HostSystem = header[c::kHostSystem];
    entry.NeededVersion = GetU16LE<c::kNeededVersion>(header);
    entry.Flags = GetU16LE<c::kFlags>(header);
    entry.Method = GetU16LE<c::kMethod>(header);
    entry.DosDateTime = GetU32LE<c::kDosDateTime>(header);
    entry.Crc32 = GetU32LE<c::kCrc32>(header);
    entry.PackedSize = GetU32LE<c::kPackedSize>(header);
    entry.UnpackedSize = GetU32LE<c::kUnpackedSize>(header);
    entry.NameLength = GetU16LE<c::kNameLength>(header);
    entry.ExtraLength = GetU16LE<c::kExtraLength>(header);
    entry.CommentLength = GetU16LE<c::kCommentLength>(header);
    entry.StartDisk = GetU16LE<c::kStartDisk>(header);
    entry.InternalAttributes = GetU16LE<c::kInternalAttributes>(header);
    entry.ExternalAttributes = GetU32LE<c::kExternalAttributes>(header);
    entry.LocalHeaderOffset = GetU32LE<c::kLocalHeaderOffset>(header);
    entry.PackedSize64 = entry.PackedSize;
    entry.UnpackedSize64 = entry.UnpackedSize;
    entry.LocalHeaderOffset64 = entry.LocalHeaderOffset;
    entry.StartDisk32 = entry.StartDisk;
}

}  // namespace kitforge
