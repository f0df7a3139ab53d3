#include "zipsfx/elf_image.h"

#include <algorithm>
#include <array>
#include <vector>

#include "formats/byte_order.h"

namespace kitforge::zipsfx {

namespace {

using formats::GetU16LE;
using formats::GetU32LE;
using formats::GetU64LE;

constexpr std::uint8_t kElfMagic[4] = {0x7F, 'E', 'L', 'F'};
constexpr std::size_t kIdentClass = 4;
constexpr std::size_t kIdentData = 5;
constexpr std::uint8_t kClass32 = 1;
constexpr std::uint8_t kClass64 = 2;
constexpr std::uint8_t kDataLittleEndian = 1;
constexpr std::uint32_t kSectionNull = 0;
constexpr std::uint32_t kSectionNoBits = 8;
// More entries than this in either table is not a linker's work; refuse rather than loop.
constexpr std::uint64_t kMaxTableEntries = 65536;

// The layout of the fields we read, for one ELF class.
struct ElfLayout {
    std::size_t header_size;
    std::size_t phoff, shoff, phentsize, phnum, shentsize, shnum;  // in the ELF header
    std::size_t min_phentsize, p_type, p_offset, p_filesz;         // in a program header
    std::size_t min_shentsize, sh_type, sh_offset, sh_size;        // in a section header
    bool wide;                                                     // 64-bit offsets
};

constexpr ElfLayout kElf32{52, 28, 32, 42, 44, 46, 48, 32, 0, 4, 16, 40, 4, 16, 20, false};
constexpr ElfLayout kElf64{64, 32, 40, 54, 56, 58, 60, 56, 0, 8, 32, 64, 4, 24, 32, true};

std::uint64_t Word(const ElfLayout& layout, const std::uint8_t* p) { return layout.wide ? GetU64LE(p) : GetU32LE(p); }

// Extends `end` to offset + size when that range lies inside the file; false otherwise.
bool Cover(std::uint64_t offset, std::uint64_t size, std::uint64_t file_size, std::uint64_t& end) {
    if (offset > file_size || size > file_size - offset) return false;
    end = std::max(end, offset + size);
    return true;
}

// Reads a table of `count` entries of `entry_size` bytes at `offset`, or nothing.
std::optional<std::vector<std::uint8_t>> ReadTable(ByteSource& source, std::uint64_t offset, std::uint64_t count,
                                                   std::uint64_t entry_size) {
    const std::uint64_t bytes = count * entry_size;
    std::vector<std::uint8_t> table(bytes);
    if (!source.ReadAt(offset, table.data(), table.size())) return std::nullopt;
    return table;
}

}  // namespace

std::optional<std::uint64_t> ElfImageEnd(ByteSource& source) {
    std::array<std::uint8_t, 64> header{};
    if (!source.ReadAt(0, header.data(), kElf32.header_size)) return std::nullopt;
    if (!std::equal(std::begin(kElfMagic), std::end(kElfMagic), header.begin())) return std::nullopt;
    if (header[kIdentData] != kDataLittleEndian) return std::nullopt;
    const std::uint8_t elf_class = header[kIdentClass];
    if (elf_class != kClass32 && elf_class != kClass64) return std::nullopt;
    const ElfLayout& layout = elf_class == kClass64 ? kElf64 : kElf32;
    if (!source.ReadAt(0, header.data(), layout.header_size)) return std::nullopt;

    const std::uint64_t file_size = source.Size();
    const std::uint64_t phoff = Word(layout, &header[layout.phoff]);
    const std::uint64_t shoff = Word(layout, &header[layout.shoff]);
    const std::uint64_t phentsize = GetU16LE(&header[layout.phentsize]);
    const std::uint64_t shentsize = GetU16LE(&header[layout.shentsize]);
    std::uint64_t phnum = GetU16LE(&header[layout.phnum]);
    std::uint64_t shnum = GetU16LE(&header[layout.shnum]);

    std::uint64_t end = layout.header_size;
    if (phnum > 0) {
        if (phentsize < layout.min_phentsize) return std::nullopt;
        if (!Cover(phoff, phnum * phentsize, file_size, end)) return std::nullopt;
        const auto table = ReadTable(source, phoff, phnum, phentsize);
        if (!table) return std::nullopt;
        for (std::uint64_t i = 0; i < phnum; ++i) {
            const std::uint8_t* entry = table->data() + i * phentsize;
            if (!Cover(Word(layout, entry + layout.p_offset), Word(layout, entry + layout.p_filesz), file_size, end)) {
                return std::nullopt;
            }
        }
    }
    if (shoff != 0) {
        if (shentsize < layout.min_shentsize) return std::nullopt;
        if (shnum == 0) {
            // Extended numbering: the real count is the size field of section 0.
            const auto first = ReadTable(source, shoff, 1, shentsize);
            if (!first) return std::nullopt;
            shnum = Word(layout, first->data() + layout.sh_size);
            if (shnum == 0 || shnum > kMaxTableEntries) return std::nullopt;
        }
        if (!Cover(shoff, shnum * shentsize, file_size, end)) return std::nullopt;
        const auto table = ReadTable(source, shoff, shnum, shentsize);
        if (!table) return std::nullopt;
        for (std::uint64_t i = 0; i < shnum; ++i) {
            const std::uint8_t* entry = table->data() + i * shentsize;
            // Empty and NOBITS sections occupy no bytes of the file.
            const std::uint32_t type = GetU32LE(entry + layout.sh_type);
            if (type == kSectionNull || type == kSectionNoBits) continue;
            if (!Cover(Word(layout, entry + layout.sh_offset), Word(layout, entry + layout.sh_size), file_size, end)) {
                return std::nullopt;
            }
        }
    }
    if (end > file_size) return std::nullopt;
    return end;
}

}  // namespace kitforge::zipsfx
