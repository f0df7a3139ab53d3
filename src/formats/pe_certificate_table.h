#pragma once
// The certificate table of a signed Windows program. Signing (Authenticode) appends the table to
// the end of the file and points to it from the optional header's security directory, which,
// unlike every other directory, holds a file offset and a size, not an address. Before the
// table, the signing tool pads the file with zero bytes to a multiple of 8 (osslsigncode writes
// 0 to 7 of them). So whatever a program carries at its end (an installer's payload, a
// self-extractor's archive) ends, once the program is signed, where the table begins, less that
// padding; the bytes before the table are not changed by signing, apart from the header's
// CheckSum and the security directory itself.
//
// The readers of installers and self-extractors take untrusted bytes: a directory that points
// into the headers or past the end of the file is reported, never followed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "formats/byte_order.h"

namespace kitforge::formats {

struct PeCertificateTable {
    std::uint64_t offset = 0;  // where the table starts in the file
    std::uint64_t size = 0;    // its length in bytes
};

struct PeCertificateLookup {
    // Nothing for a file that is not a PE program and for an unsigned one.
    std::optional<PeCertificateTable> table;
    // Why the security directory cannot be right ("the certificate table ... reaches past the
    // end of the file"); empty when it can. `table` is then empty.
    std::string problem;
    // True when the table is the last thing in the file, as signing leaves it: what was
    // appended to the program ends before it.
    bool EndsFile(std::uint64_t file_size) const noexcept { return table && table->offset + table->size == file_size; }
};

// Signing pads to this multiple before the table.
inline constexpr std::uint64_t kPeCertificateAlignment = 8;

namespace pe_detail {
inline constexpr std::size_t kNewHeaderOffsetField = 0x3C;
inline constexpr std::size_t kFileHeaderSize = 20;  // after the 4-byte "PE\0\0" signature
inline constexpr std::size_t kSectionHeaderSize = 40;
inline constexpr std::uint16_t kMagicPe32 = 0x10B;
inline constexpr std::uint16_t kMagicPe32Plus = 0x20B;
inline constexpr std::uint32_t kSecurityDirectory = 4;
inline constexpr std::uint64_t kDirectoryEntrySize = 8;
// A table holds at least one certificate entry: its length, revision and type.
inline constexpr std::uint64_t kMinimumTableSize = 8;
}  // namespace pe_detail

// Looks up the certificate table of the program at the start of a file of `file_size` bytes.
// `read(offset, out, size)` fills `out` with `size` bytes at `offset` and gives false when they
// are not all there.
template <typename Read>
PeCertificateLookup FindPeCertificateTable(Read&& read, std::uint64_t file_size) {
    using namespace pe_detail;
    PeCertificateLookup lookup;
    std::array<std::uint8_t, 64> dos{};
    if (file_size < dos.size() || !read(0, dos.data(), dos.size()) || dos[0] != 'M' || dos[1] != 'Z') return lookup;
    const std::uint64_t pe_offset = GetU32LE(&dos[kNewHeaderOffsetField]);
    std::array<std::uint8_t, 4 + kFileHeaderSize + 2> pe{};
    if (pe_offset > file_size || !read(pe_offset, pe.data(), pe.size())) return lookup;
    if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return lookup;
    const std::uint8_t* file_header = pe.data() + 4;
    const std::uint64_t sections = GetU16LE(file_header + 2);
    const std::uint64_t optional_size = GetU16LE(file_header + 16);
    const std::uint16_t magic = GetU16LE(file_header + kFileHeaderSize);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus) return lookup;

    // The count of directories, then the directories, follow the fields that differ in width.
    const std::uint64_t count_at = magic == kMagicPe32 ? 92 : 108;
    const std::uint64_t entry_at = count_at + 4 + kSecurityDirectory * kDirectoryEntrySize;
    if (optional_size < entry_at + kDirectoryEntrySize) return lookup;
    const std::uint64_t optional_offset = pe_offset + 4 + kFileHeaderSize;
    std::array<std::uint8_t, 4> count{};
    std::array<std::uint8_t, kDirectoryEntrySize> entry{};
    if (!read(optional_offset + count_at, count.data(), count.size()) ||
        !read(optional_offset + entry_at, entry.data(), entry.size())) {
        return lookup;
    }
    if (GetU32LE(count.data()) <= kSecurityDirectory) return lookup;
    const std::uint64_t offset = GetU32LE(entry.data());
    const std::uint64_t size = GetU32LE(entry.data() + 4);
    if (offset == 0 && size == 0) return lookup;  // not signed

    const std::string where = "the certificate table of the Windows program (" + std::to_string(size) +
                              " bytes at offset " + std::to_string(offset) + ")";
    const std::uint64_t headers_end = optional_offset + optional_size + sections * kSectionHeaderSize;
    if (offset > file_size || size > file_size - offset) {
        lookup.problem = where + " reaches past the end of the file (" + std::to_string(file_size) + " bytes)";
    } else if (offset < headers_end) {
        lookup.problem = where + " lies inside the program's headers";
    } else if (size < kMinimumTableSize) {
        lookup.problem = where + " is too short to hold a certificate";
    } else {
        lookup.table = PeCertificateTable{offset, size};
    }
    return lookup;
}

}  // namespace kitforge::formats
