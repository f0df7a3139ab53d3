#pragma once
// The integrity block: a checksum of the installer payload, written by the builder between
// the installer stub and the payload. The payload's own layout does not change, so a stub
// that does not know the block (it never looks before the payload's first record) still
// installs, and an installer without the block (an older one) is still read.
//
// A fixed-size block, read backwards from the payload's first byte. From its start:
//
//   digest      32 bytes: the checksum, left-aligned, the rest zero (room for a 256-bit hash)
//   covered     64-bit little-endian: the bytes the checksum covers, the payload from its
//               first byte to the end of the file, payload mark included
//   algorithm   32-bit little-endian: which hash made the digest (kIntegrityXxh3_128, ...)
//   mark        8 bytes "KFCHKSUM": the block is there only when these end it
//
// The block itself is not covered: a changed digest, length or algorithm no longer matches the
// payload, and a changed mark leaves bytes between the program and the payload that the
// installer refuses.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "formats/byte_order.h"

namespace kitforge::formats {

inline constexpr std::array<std::uint8_t, 8> kIntegrityMark = {'K', 'F', 'C', 'H', 'K', 'S', 'U', 'M'};
inline constexpr std::size_t kIntegrityDigestSize = 32;

inline constexpr std::size_t kIntegrityDigestAt = 0;
inline constexpr std::size_t kIntegrityCoveredAt = kIntegrityDigestAt + kIntegrityDigestSize;
inline constexpr std::size_t kIntegrityAlgorithmAt = kIntegrityCoveredAt + 8;
inline constexpr std::size_t kIntegrityMarkAt = kIntegrityAlgorithmAt + 4;
inline constexpr std::size_t kIntegrityBlockSize = kIntegrityMarkAt + kIntegrityMark.size();

// Hash ids. XXH3 with 128 bits: a damaged download is what it guards against, and it reads
// far faster than the disk (see bench/RESULTS.md); the id lets a later builder change it.
inline constexpr std::uint32_t kIntegrityXxh3_128 = 1;

struct IntegrityBlock {
    std::uint32_t algorithm = 0;
    std::uint64_t covered = 0;
    std::array<std::uint8_t, kIntegrityDigestSize> digest{};
};

using IntegrityBlockBytes = std::array<std::uint8_t, kIntegrityBlockSize>;

// The digest size of a known algorithm; 0 for an id this program does not know.
constexpr std::size_t IntegrityDigestSize(std::uint32_t algorithm) noexcept {
    return algorithm == kIntegrityXxh3_128 ? 16 : 0;
}

// The name shown to users; empty for an unknown id.
constexpr std::string_view IntegrityAlgorithmName(std::uint32_t algorithm) noexcept {
    return algorithm == kIntegrityXxh3_128 ? "XXH3-128" : "";
}

constexpr IntegrityBlockBytes EncodeIntegrityBlock(const IntegrityBlock& block) noexcept {
    IntegrityBlockBytes bytes{};
    std::copy(block.digest.begin(), block.digest.end(), bytes.begin() + kIntegrityDigestAt);
    PutU32LE(bytes.data() + kIntegrityCoveredAt, static_cast<std::uint32_t>(block.covered));
    PutU32LE(bytes.data() + kIntegrityCoveredAt + 4, static_cast<std::uint32_t>(block.covered >> 32));
    PutU32LE(bytes.data() + kIntegrityAlgorithmAt, block.algorithm);
    std::copy(kIntegrityMark.begin(), kIntegrityMark.end(), bytes.begin() + kIntegrityMarkAt);
    return bytes;
}

// The block in `bytes`, or nothing when they do not end with the mark. The fields are taken as
// stored; whether they fit the payload is for the checksum check to say.
constexpr std::optional<IntegrityBlock> DecodeIntegrityBlock(const IntegrityBlockBytes& bytes) noexcept {
    if (!std::equal(kIntegrityMark.begin(), kIntegrityMark.end(), bytes.begin() + kIntegrityMarkAt)) {
        return std::nullopt;
    }
    IntegrityBlock block;
    std::copy_n(bytes.begin() + kIntegrityDigestAt, kIntegrityDigestSize, block.digest.begin());
    block.covered = GetU64LE(bytes.data() + kIntegrityCoveredAt);
    block.algorithm = GetU32LE(bytes.data() + kIntegrityAlgorithmAt);
    return block;
}

}  // namespace kitforge::formats
