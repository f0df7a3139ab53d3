#include "entry_records.h"

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

std::uint16_t NeededVersion(const NewEntry& entry) {
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
    zf::PutU32LE(p + zf::local::kPackedSize, descriptor ? 0 : entry.packed);
    zf::PutU32LE(p + zf::local::kUnpackedSize, descriptor ? 0 : entry.unpacked);
    zf::PutU16LE(p + zf::local::kNameLength, static_cast<std::uint16_t>(entry.name.size()));
    zf::PutU16LE(p + zf::local::kExtraLength, 0);
    std::copy(entry.name.begin(), entry.name.end(), bytes.begin() + zf::kLocalHeaderSize);
    return bytes;
}

std::vector<std::uint8_t> DataDescriptor(const NewEntry& entry) {
    std::vector<std::uint8_t> bytes(zf::kDataDescriptorSize);
    std::uint8_t* p = bytes.data();
    zf::PutU32LE(p + zf::data_descriptor::kSignature, zf::kDataDescriptorSignature);
    zf::PutU32LE(p + zf::data_descriptor::kCrc32, entry.crc);
    zf::PutU32LE(p + zf::data_descriptor::kPackedSize, entry.packed);
    zf::PutU32LE(p + zf::data_descriptor::kUnpackedSize, entry.unpacked);
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
    zf::PutU32LE(p + zf::central::kPackedSize, entry.packed);
    zf::PutU32LE(p + zf::central::kUnpackedSize, entry.unpacked);
    zf::PutU16LE(p + zf::central::kNameLength, static_cast<std::uint16_t>(entry.name.size()));
    zf::PutU32LE(p + zf::central::kExternalAttributes, ExternalAttributes(entry));
    zf::PutU32LE(p + zf::central::kLocalHeaderOffset, entry.local_offset);
    std::copy(entry.name.begin(), entry.name.end(), bytes.begin() + zf::kCentralHeaderSize);
    return bytes;
}

}  // namespace zipdll
