// Finding the version block inside an executable: the version resource of a PE file, or
// the version section of an ELF file. Every offset and count comes from the file, so each
// is checked against the file's size (through ReadAt) before it is followed.

#include <algorithm>
#include <array>
#include <cstring>

#include "formats/byte_order.h"
#include "platform/version_resource.h"

namespace kitforge {

namespace {

// A version block's lengths are 16-bit: nothing beyond this can belong to it.
constexpr std::size_t kLargestVersionBlock = 0x10000;

// PE files are little-endian; an ELF file says in its header which order its numbers are in.
std::uint16_t GetU16(const std::uint8_t* p, bool big_endian = false) {
    return big_endian ? formats::GetU16BE(p) : formats::GetU16LE(p);
}

std::uint32_t GetU32(const std::uint8_t* p, bool big_endian = false) {
    return big_endian ? formats::GetU32BE(p) : formats::GetU32LE(p);
}

std::uint64_t GetU64(const std::uint8_t* p, bool big_endian = false) {
    return big_endian ? formats::GetU64BE(p) : formats::GetU64LE(p);
}

std::optional<VersionBlock> ReadBlock(const ExecutableBytes& source, std::uint64_t offset, std::uint64_t size) {
    size = std::min<std::uint64_t>(size, kLargestVersionBlock);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (size < 6 || !source.ReadAt(offset, bytes.data(), bytes.size())) return std::nullopt;
    // The root's own length says where the block ends; trailing padding is not part of it.
    const std::size_t root_length = GetU16(bytes.data());
    if (root_length < 6 || root_length > bytes.size()) return std::nullopt;
    bytes.resize(root_length);
    return VersionBlock(std::move(bytes));
}

// ---- PE files -------------------------------------------------------------------------

namespace pe {

constexpr std::uint64_t kNewHeaderPointerOffset = 0x3C;  // in the MZ header
constexpr std::size_t kSignatureSize = 4;                // "PE\0\0"
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kSectionCountOffset = 2;  // in the file header
constexpr std::size_t kOptionalHeaderSizeOffset = 16;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::size_t kCheckSumOffset = 64;            // in the optional header, in both kinds
constexpr std::size_t kDirectoryCountOffsetPe32 = 92;  // in the optional header
constexpr std::size_t kDirectoryCountOffsetPe32Plus = 108;
constexpr std::size_t kResourceDirectoryIndex = 2;
constexpr std::size_t kDirectoryEntrySize = 8;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kSectionVirtualSizeOffset = 8;
constexpr std::size_t kSectionAddressOffset = 12;
constexpr std::size_t kSectionRawSizeOffset = 16;
constexpr std::size_t kSectionRawPointerOffset = 20;
constexpr std::size_t kResourceDirectorySize = 16;
constexpr std::size_t kNamedCountOffset = 12;
constexpr std::size_t kIdCountOffset = 14;
constexpr std::size_t kResourceEntrySize = 8;
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint32_t kVersionResourceType = 16;
constexpr std::uint32_t kVersionResourceName = 1;
constexpr std::size_t kDataEntrySize = 16;

struct Section {
    std::uint32_t address;
    std::uint32_t virtual_size;
    std::uint32_t raw_size;
    std::uint32_t raw_pointer;
};

struct ResourceEntry {
    std::uint32_t name;    // an id, or (high bit set) a name's offset
    std::uint32_t target;  // (high bit set) a subdirectory, otherwise a data entry
};

class Image {
public:
    explicit Image(const ExecutableBytes& source) : source_(source) {}

    std::optional<VersionBlock> FindVersionBlock() {
        const auto place = FindPlace();
        if (!place) return std::nullopt;
        return ReadBlock(source_, place->block_offset, place->room);
    }

    std::optional<VersionResourcePlace> FindPlace() {
        if (!ReadHeaders()) return std::nullopt;
        const auto resource_base = FileOffset(resource_address_, kResourceDirectorySize);
        if (!resource_base) return std::nullopt;
        resource_base_ = *resource_base;

        const auto types = Entries(0);
        const auto version = std::find_if(types.begin(), types.end(), [](const ResourceEntry& e) {
            return e.name == kVersionResourceType && (e.target & kHighBit);
        });
        if (version == types.end()) return std::nullopt;
        const auto names = Entries(version->target & ~kHighBit);
        if (names.empty()) return std::nullopt;
        auto name = std::find_if(names.begin(), names.end(),
                                 [](const ResourceEntry& e) { return e.name == kVersionResourceName; });
        if (name == names.end()) name = names.begin();
        if (!(name->target & kHighBit)) return std::nullopt;
        const auto languages = Entries(name->target & ~kHighBit);
        if (languages.empty() || (languages.front().target & kHighBit)) return std::nullopt;
        return DataPlace(languages.front().target);
    }

private:
    bool Read(std::uint64_t offset, void* data, std::size_t size) { return source_.ReadAt(offset, data, size); }

    bool ReadHeaders() {
        std::array<std::uint8_t, 4> bytes{};
        if (!Read(0, bytes.data(), 2) || bytes[0] != 'M' || bytes[1] != 'Z') return false;
        if (!Read(kNewHeaderPointerOffset, bytes.data(), 4)) return false;
        const std::uint64_t header = GetU32(bytes.data());
        std::array<std::uint8_t, kSignatureSize + kFileHeaderSize> file_header{};
        if (!Read(header, file_header.data(), file_header.size())) return false;
        if (std::memcmp(file_header.data(), "PE\0\0", kSignatureSize) != 0) return false;
        const std::uint8_t* coff = file_header.data() + kSignatureSize;
        const std::size_t section_count = GetU16(coff + kSectionCountOffset);
        const std::size_t optional_size = GetU16(coff + kOptionalHeaderSizeOffset);
        const std::uint64_t optional_start = header + file_header.size();
        checksum_offset_ = optional_start + kCheckSumOffset;

        std::vector<std::uint8_t> optional(optional_size);
        if (optional_size < 2 || !Read(optional_start, optional.data(), optional.size())) return false;
        std::size_t count_offset = 0;
        const std::uint16_t magic = GetU16(optional.data());
        if (magic == kMagicPe32) {
            count_offset = kDirectoryCountOffsetPe32;
        } else if (magic == kMagicPe32Plus) {
            count_offset = kDirectoryCountOffsetPe32Plus;
        } else {
            return false;
        }
        const std::size_t directories_start = count_offset + 4;
        const std::size_t resource_entry = directories_start + kResourceDirectoryIndex * kDirectoryEntrySize;
        if (optional_size < resource_entry + kDirectoryEntrySize) return false;
        if (GetU32(optional.data() + count_offset) <= kResourceDirectoryIndex) return false;
        resource_address_ = GetU32(optional.data() + resource_entry);
        if (resource_address_ == 0) return false;

        // Each header is read on its own, so a huge claimed count fails at the file's end
        // instead of allocating for it.
        const std::uint64_t sections_start = optional_start + optional_size;
        for (std::size_t i = 0; i < section_count; ++i) {
            std::array<std::uint8_t, kSectionHeaderSize> raw{};
            if (!Read(sections_start + i * kSectionHeaderSize, raw.data(), raw.size())) return false;
            sections_.push_back(
                {GetU32(raw.data() + kSectionAddressOffset), GetU32(raw.data() + kSectionVirtualSizeOffset),
                 GetU32(raw.data() + kSectionRawSizeOffset), GetU32(raw.data() + kSectionRawPointerOffset)});
        }
        return true;
    }

    // The file offset of `size` bytes at a relative virtual address; they must lie in the
    // file data of one section.
    std::optional<std::uint64_t> FileOffset(std::uint32_t address, std::uint64_t size) const {
        for (const auto& s : sections_) {
            if (address < s.address) continue;
            const std::uint64_t into = address - s.address;
            if (into + size <= s.raw_size) return std::uint64_t{s.raw_pointer} + into;
        }
        return std::nullopt;
    }

    // The entries of the resource directory at `offset` from the resource section's start.
    std::vector<ResourceEntry> Entries(std::uint32_t offset) {
        std::vector<ResourceEntry> entries;
        std::array<std::uint8_t, kResourceDirectorySize> header{};
        const std::uint64_t start = resource_base_ + offset;
        if (!Read(start, header.data(), header.size())) return entries;
        const std::size_t count =
            std::size_t{GetU16(header.data() + kNamedCountOffset)} + GetU16(header.data() + kIdCountOffset);
        std::vector<std::uint8_t> raw(count * kResourceEntrySize);
        if (!Read(start + kResourceDirectorySize, raw.data(), raw.size())) return entries;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* p = raw.data() + i * kResourceEntrySize;
            entries.push_back({GetU32(p), GetU32(p + 4)});
        }
        return entries;
    }

    std::optional<VersionResourcePlace> DataPlace(std::uint32_t entry_offset) {
        std::array<std::uint8_t, kDataEntrySize> entry{};
        const std::uint64_t entry_at = resource_base_ + entry_offset;
        if (!Read(entry_at, entry.data(), entry.size())) return std::nullopt;
        const std::uint32_t address = GetU32(entry.data());
        const std::uint32_t size = std::min<std::uint32_t>(GetU32(entry.data() + 4), kLargestVersionBlock);
        const auto offset = FileOffset(address, size);
        if (!offset) return std::nullopt;
        return VersionResourcePlace{*offset, size, entry_at + 4, checksum_offset_};
    }

    const ExecutableBytes& source_;
    std::vector<Section> sections_;
    std::uint32_t resource_address_ = 0;
    std::uint64_t resource_base_ = 0;
    std::uint64_t checksum_offset_ = 0;
};

}  // namespace pe

// ---- ELF files ------------------------------------------------------------------------

namespace elf {

constexpr std::size_t kIdentSize = 16;
constexpr std::size_t kClassOffset = 4;
constexpr std::size_t kDataOffset = 5;
constexpr std::uint8_t kClass32 = 1;
constexpr std::uint8_t kClass64 = 2;
constexpr std::uint8_t kBigEndian = 2;
constexpr std::uint32_t kNoBits = 8;
constexpr std::uint16_t kExtendedIndex = 0xFFFF;

// Where the fields of the two classes lie.
struct Layout {
    std::size_t header_size;
    std::size_t section_table_offset;  // e_shoff
    std::size_t entry_size_offset;     // e_shentsize; e_shnum and e_shstrndx follow
    std::size_t section_header_size;
    std::size_t type_offset, offset_offset, size_offset, link_offset;
    bool wide;  // 64-bit addresses and sizes
};
constexpr Layout kLayout32{52, 0x20, 0x2E, 40, 4, 16, 20, 24, false};
constexpr Layout kLayout64{64, 0x28, 0x3A, 64, 4, 24, 32, 40, true};

struct SectionHeader {
    std::uint32_t name = 0;
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t link = 0;
};

class Image {
public:
    explicit Image(const ExecutableBytes& source) : source_(source) {}

    std::optional<VersionBlock> FindVersionBlock() {
        if (!ReadHeader()) return std::nullopt;
        const auto names = Section(string_table_index_);
        if (!names) return std::nullopt;
        for (std::uint64_t i = 0; i < section_count_; ++i) {
            const auto section = Section(i);
            if (!section) return std::nullopt;
            if (section->type == kNoBits || !HasName(*names, section->name)) continue;
            return ReadBlock(source_, section->offset, section->size);
        }
        return std::nullopt;
    }

private:
    bool ReadHeader() {
        std::array<std::uint8_t, 64> header{};
        if (!source_.ReadAt(0, header.data(), kIdentSize) || std::memcmp(header.data(),
                                                                         "\x7f"
                                                                         "ELF",
                                                                         4) != 0) {
            return false;
        }
        if (header[kClassOffset] == kClass32) {
            layout_ = kLayout32;
        } else if (header[kClassOffset] == kClass64) {
            layout_ = kLayout64;
        } else {
            return false;
        }
        big_endian_ = header[kDataOffset] == kBigEndian;
        if (!source_.ReadAt(0, header.data(), layout_.header_size)) return false;
        table_offset_ = Wide(header.data() + layout_.section_table_offset);
        entry_size_ = GetU16(header.data() + layout_.entry_size_offset, big_endian_);
        section_count_ = GetU16(header.data() + layout_.entry_size_offset + 2, big_endian_);
        string_table_index_ = GetU16(header.data() + layout_.entry_size_offset + 4, big_endian_);
        if (table_offset_ == 0 || entry_size_ < layout_.section_header_size) return false;
        // Files with very many sections keep the real count and string-table index in the
        // first section header.
        if (section_count_ == 0 || string_table_index_ == kExtendedIndex) {
            const auto first = Section(0);
            if (!first) return false;
            if (section_count_ == 0) section_count_ = first->size;
            if (string_table_index_ == kExtendedIndex) string_table_index_ = first->link;
        }
        // Every header must be in the file: bounds the loop over a claimed count.
        return section_count_ <= source_.Size() / entry_size_;
    }

    std::uint64_t Wide(const std::uint8_t* p) const {
        return layout_.wide ? GetU64(p, big_endian_) : GetU32(p, big_endian_);
    }

    std::optional<SectionHeader> Section(std::uint64_t index) const {
        std::array<std::uint8_t, 64> raw{};
        if (index > (source_.Size() / entry_size_)) return std::nullopt;
        if (!source_.ReadAt(table_offset_ + index * entry_size_, raw.data(), layout_.section_header_size)) {
            return std::nullopt;
        }
        SectionHeader s;
        s.name = GetU32(raw.data(), big_endian_);
        s.type = GetU32(raw.data() + layout_.type_offset, big_endian_);
        s.offset = Wide(raw.data() + layout_.offset_offset);
        s.size = Wide(raw.data() + layout_.size_offset);
        s.link = GetU32(raw.data() + layout_.link_offset, big_endian_);
        return s;
    }

    // True when the string table holds kVersionSectionName, terminated, at `name`.
    bool HasName(const SectionHeader& names, std::uint32_t name) const {
        const std::size_t length = kVersionSectionName.size() + 1;
        if (name > names.size || length > names.size - name) return false;
        std::array<char, kVersionSectionName.size() + 1> text{};
        if (!source_.ReadAt(names.offset + name, text.data(), length)) return false;
        return text.back() == '\0' && std::string_view(text.data(), length - 1) == kVersionSectionName;
    }

    const ExecutableBytes& source_;
    Layout layout_ = kLayout64;
    bool big_endian_ = false;
    std::uint64_t table_offset_ = 0;
    std::uint64_t entry_size_ = 0;
    std::uint64_t section_count_ = 0;
    std::uint64_t string_table_index_ = 0;
};

}  // namespace elf

class MemoryByteSource : public ExecutableBytes {
public:
    explicit MemoryByteSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(std::uint64_t offset, void* data, std::size_t size) const override {
        if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
        if (size > 0) std::memcpy(data, bytes_.data() + offset, size);
        return true;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

}  // namespace

std::optional<VersionBlock> FindVersionBlock(const ExecutableBytes& source) {
    std::array<std::uint8_t, 4> magic{};
    if (!source.ReadAt(0, magic.data(), magic.size())) return std::nullopt;
    if (magic[0] == 'M' && magic[1] == 'Z') return pe::Image(source).FindVersionBlock();
    if (std::memcmp(magic.data(),
                    "\x7f"
                    "ELF",
                    4) == 0)
        return elf::Image(source).FindVersionBlock();
    return std::nullopt;
}

std::optional<VersionResourcePlace> FindVersionResourcePlace(const ExecutableBytes& source) {
    std::array<std::uint8_t, 2> magic{};
    if (!source.ReadAt(0, magic.data(), magic.size()) || magic[0] != 'M' || magic[1] != 'Z') return std::nullopt;
    return pe::Image(source).FindPlace();
}

std::optional<VersionBlock> FindVersionBlock(std::span<const std::uint8_t> bytes) {
    return FindVersionBlock(MemoryByteSource(bytes));
}

}  // namespace kitforge
