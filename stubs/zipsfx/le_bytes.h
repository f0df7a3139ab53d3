#pragma once
// Little-endian readers for the fixed-size records of the zip format and of the ELF headers.
// Callers hand in a span that they have already checked to be long enough.

#include <cstddef>
#include <cstdint>

namespace kitforge::zipsfx {

inline std::uint16_t GetU16LE(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t GetU32LE(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t GetU64LE(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(GetU32LE(p)) | (static_cast<std::uint64_t>(GetU32LE(p + 4)) << 32);
}

}  // namespace kitforge::zipsfx
