#include "zipsfx/pe_image.h"

#include <algorithm>
#include <array>
#include <vector>

#include "formats/byte_order.h"

namespace kitforge::zipsfx {

namespace {

using formats::GetU16LE;
using formats::GetU32LE;

constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kNewHeaderOffsetField = 0x3C;
constexpr std::size_t kFileHeaderSize = 20;  // after the 4-byte "PE\0\0" signature
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kSymbolSize = 18;
// The format allows at most 96 sections; more is not a linker's work.
constexpr std::uint32_t kMaxSections = 96;
constexpr std::uint32_t kMaxSymbols = 1u << 24;
// The optional header's SizeOfHeaders, at the same place in PE32 and PE32+.
constexpr std::size_t kSizeOfHeadersField = 60;

bool Cover(std::uint64_t offset, std::uint64_t size, std::uint64_t file_size, std::uint64_t& end) {
    if (offset > file_size || size > file_size - offset) return false;
    end = std::max(end, offset + size);
    return true;
}

}  // namespace

std::optional<std::uint64_t> PeImageEnd(ByteSource& source) {
    const std::uint64_t file_size = source.Size();
    std::array<std::uint8_t, kDosHeaderSize> dos{};
    if (!source.ReadAt(0, dos.data(), dos.size()) || dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
    const std::uint64_t pe_offset = GetU32LE(&dos[kNewHeaderOffsetField]);

    std::array<std::uint8_t, 4 + kFileHeaderSize> pe{};
    if (!source.ReadAt(pe_offset, pe.data(), pe.size())) return std::nullopt;
    if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return std::nullopt;
    const std::uint8_t* file_header = pe.data() + 4;
    const std::uint32_t sections = GetU16LE(file_header + 2);
    const std::uint64_t symbol_table = GetU32LE(file_header + 8);
    const std::uint64_t symbols = GetU32LE(file_header + 12);
    const std::uint64_t optional_size = GetU16LE(file_header + 16);
    if (sections == 0 || sections > kMaxSections) return std::nullopt;

    const std::uint64_t optional_offset = pe_offset + pe.size();
    std::uint64_t end = 0;
    if (!Cover(0, optional_offset + optional_size, file_size, end)) return std::nullopt;
    if (optional_size >= kSizeOfHeadersField + 4) {
        std::array<std::uint8_t, 4> field{};
        if (!source.ReadAt(optional_offset + kSizeOfHeadersField, field.data(), field.size())) return std::nullopt;
        if (!Cover(0, GetU32LE(field.data()), file_size, end)) return std::nullopt;
    }

    const std::uint64_t table_offset = optional_offset + optional_size;
    std::vector<std::uint8_t> table(static_cast<std::size_t>(sections) * kSectionHeaderSize);
    if (!Cover(table_offset, table.size(), file_size, end)) return std::nullopt;
    if (!source.ReadAt(table_offset, table.data(), table.size())) return std::nullopt;
    for (std::uint32_t i = 0; i < sections; ++i) {
        const std::uint8_t* section = table.data() + std::size_t{i} * kSectionHeaderSize;
        const std::uint64_t raw_size = GetU32LE(section + 16);
        const std::uint64_t raw_offset = GetU32LE(section + 20);
        // Sections of uninitialised data have no bytes in the file.
        if (raw_size == 0) continue;
        if (!Cover(raw_offset, raw_size, file_size, end)) return std::nullopt;
    }

    if (symbol_table != 0 && symbols != 0) {
        if (symbols > kMaxSymbols) return std::nullopt;
        const std::uint64_t strings_offset = symbol_table + symbols * kSymbolSize;
        if (!Cover(symbol_table, symbols * kSymbolSize, file_size, end)) return std::nullopt;
        std::array<std::uint8_t, 4> length{};
        if (source.ReadAt(strings_offset, length.data(), length.size())) {
            // The string table's first four bytes are its length, themselves included.
            const std::uint64_t strings = std::max<std::uint64_t>(GetU32LE(length.data()), 4);
            if (!Cover(strings_offset, strings, file_size, end)) return std::nullopt;
        }
    }
    return end;
}

}  // namespace kitforge::zipsfx
