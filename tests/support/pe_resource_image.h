#pragma once
// A small PE image made in memory: the headers and one section ".rsrc" whose resource tree
// holds version resources, laid out by hand after the published PE layout.

#include <cstdint>
#include <utility>
#include <vector>

namespace kitforge::testing {

struct PeOptions {
    bool pe32_plus = false;
    // The names of the version resources, each with its own block; the first language only.
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> resources;
    bool with_resource_directory = true;
};

// A PE image with one section ".rsrc" holding a three-level resource tree of type 16. The
// optional header's CheckSum is 0x12345678, so that a writer can be seen to change it.
std::vector<std::uint8_t> MakePe(const PeOptions& options);

// Little-endian numbers written into `bytes` at `at`, growing it as needed.
inline void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
    if (bytes.size() < at + 2) bytes.resize(at + 2);
    bytes[at] = value & 0xFF;
    bytes[at + 1] = value >> 8;
}
inline void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    Put16(bytes, at, value & 0xFFFF);
    Put16(bytes, at + 2, value >> 16);
}

}  // namespace kitforge::testing
