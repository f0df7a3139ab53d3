#pragma once
// The records written for a new entry: its local header, its data descriptor and its
// central-directory record, built from one description so that the three always agree.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zipdll {

struct NewEntry {
    std::string name;
    bool is_directory = false;
    bool force_dos = false;  // record MS-DOS as the host, with DOS attributes only
    std::uint32_t mode = 0;
    bool writable = true;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t dos_time = 0;
    std::uint32_t crc = 0;
    std::uint64_t packed = 0;
    std::uint64_t unpacked = 0;
    std::uint64_t local_offset = 0;
    // The local header carries both sizes in a zip64 field, and a data descriptor holds 64-bit
    // sizes. Decided before the data is written, from what its size may grow to.
    bool zip64_local = false;
};

// General-purpose flag bits for an entry: encryption, data descriptor, the deflate level's
// hint and UTF-8 names.
std::uint16_t EntryFlags(const std::string& name, int level, bool deflated, bool encrypted, bool descriptor);

std::vector<std::uint8_t> LocalHeader(const NewEntry& entry);
// Signature, CRC, packed and unpacked sizes: 16 bytes, or 24 with 64-bit sizes.
std::vector<std::uint8_t> DataDescriptor(const NewEntry& entry);
// With a zip64 field for whichever of the sizes and the offset do not fit their 32-bit slots.
std::vector<std::uint8_t> CentralRecord(const NewEntry& entry);

// True when the packed size of an entry of `unpacked` bytes may reach 4 GiB - 1, so that its
// local header must hold room for 64-bit sizes: exactly known when stored, with room for the
// stored blocks that deflate falls back on when the data does not shrink.
bool MayNeedZip64Sizes(std::uint64_t unpacked, bool deflated, bool encrypted) noexcept;

// A central-directory record as stored (whose zip64 field, if any, was checked when it was
// read) with its local header now at `offset`: in the classic slot when it fits and the record
// keeps its offset there; else in the zip64 field, which is added or widened as needed.
// Throws std::length_error when the extra fields would grow past what a record can hold.
std::vector<std::uint8_t> MovedCentralRecord(std::vector<std::uint8_t> record, std::uint64_t offset);

bool IsValidUtf8(const std::string& text) noexcept;

}  // namespace zipdll
