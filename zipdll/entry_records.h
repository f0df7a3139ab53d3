#pragma once
// The records written for a new entry: its local header, its data descriptor and its
// central-directory record, built from one description so that the three always agree.

#include <cstdint>
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
    std::uint32_t packed = 0;
    std::uint32_t unpacked = 0;
    std::uint32_t local_offset = 0;
};

// General-purpose flag bits for an entry: encryption, data descriptor, the deflate level's
// hint and UTF-8 names.
std::uint16_t EntryFlags(const std::string& name, int level, bool deflated, bool encrypted, bool descriptor);

std::vector<std::uint8_t> LocalHeader(const NewEntry& entry);
// 16 bytes: signature, CRC, packed and unpacked sizes.
std::vector<std::uint8_t> DataDescriptor(const NewEntry& entry);
std::vector<std::uint8_t> CentralRecord(const NewEntry& entry);

bool IsValidUtf8(const std::string& text) noexcept;

}  // namespace zipdll
