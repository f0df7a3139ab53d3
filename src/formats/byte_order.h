#pragma once
// Numbers as the file formats store them: little-endian everywhere, and big-endian only for
// the ELF files that declare themselves so. Every reader and writer of a format goes through
// these, never through a copy of a struct, so the byte order is written down once.
//
// The pointer forms read or write at a place that the caller has checked to hold the whole
// number; the fixed-offset forms over std::array check that at compile time.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kitforge::formats {

constexpr std::uint16_t GetU16LE(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
constexpr std::uint32_t GetU32LE(const std::uint8_t* p) noexcept {
    return static_cast<std::uint32_t>(GetU16LE(p)) | (static_cast<std::uint32_t>(GetU16LE(p + 2)) << 16);
}
constexpr std::uint64_t GetU64LE(const std::uint8_t* p) noexcept {
    return static_cast<std::uint64_t>(GetU32LE(p)) | (static_cast<std::uint64_t>(GetU32LE(p + 4)) << 32);
}

constexpr std::uint16_t GetU16BE(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
constexpr std::uint32_t GetU32BE(const std::uint8_t* p) noexcept {
    return (static_cast<std::uint32_t>(GetU16BE(p)) << 16) | GetU16BE(p + 2);
}
constexpr std::uint64_t GetU64BE(const std::uint8_t* p) noexcept {
    return (static_cast<std::uint64_t>(GetU32BE(p)) << 32) | GetU32BE(p + 4);
}

constexpr void PutU16LE(std::uint8_t* p, std::uint16_t value) noexcept {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}
constexpr void PutU32LE(std::uint8_t* p, std::uint32_t value) noexcept {
    PutU16LE(p, static_cast<std::uint16_t>(value));
    PutU16LE(p + 2, static_cast<std::uint16_t>(value >> 16));
}
constexpr void PutU64LE(std::uint8_t* p, std::uint64_t value) noexcept {
    PutU32LE(p, static_cast<std::uint32_t>(value));
    PutU32LE(p + 4, static_cast<std::uint32_t>(value >> 32));
}

// The four bytes of `value`, for writers that hand a number to a file on its own.
constexpr std::array<std::uint8_t, 4> EncodeU32LE(std::uint32_t value) noexcept {
    std::array<std::uint8_t, 4> bytes{};
    PutU32LE(bytes.data(), value);
    return bytes;
}

// Appending to a record that is being built.
constexpr void AppendU16LE(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
constexpr void AppendU32LE(std::vector<std::uint8_t>& out, std::uint32_t value) {
    AppendU16LE(out, static_cast<std::uint16_t>(value));
    AppendU16LE(out, static_cast<std::uint16_t>(value >> 16));
}
constexpr void AppendU64LE(std::vector<std::uint8_t>& out, std::uint64_t value) {
    AppendU32LE(out, static_cast<std::uint32_t>(value));
    AppendU32LE(out, static_cast<std::uint32_t>(value >> 32));
}

template <std::size_t Offset, std::size_t N>
constexpr std::uint16_t GetU16LE(const std::array<std::uint8_t, N>& bytes) noexcept {
    static_assert(Offset + 2 <= N);
    return GetU16LE(bytes.data() + Offset);
}
template <std::size_t Offset, std::size_t N>
constexpr std::uint32_t GetU32LE(const std::array<std::uint8_t, N>& bytes) noexcept {
    static_assert(Offset + 4 <= N);
    return GetU32LE(bytes.data() + Offset);
}
template <std::size_t Offset, std::size_t N>
constexpr std::uint64_t GetU64LE(const std::array<std::uint8_t, N>& bytes) noexcept {
    static_assert(Offset + 8 <= N);
    return GetU64LE(bytes.data() + Offset);
}
template <std::size_t Offset, std::size_t N>
constexpr void PutU16LE(std::array<std::uint8_t, N>& bytes, std::uint16_t value) noexcept {
    static_assert(Offset + 2 <= N);
    PutU16LE(bytes.data() + Offset, value);
}
template <std::size_t Offset, std::size_t N>
constexpr void PutU32LE(std::array<std::uint8_t, N>& bytes, std::uint32_t value) noexcept {
    static_assert(Offset + 4 <= N);
    PutU32LE(bytes.data() + Offset, value);
}
template <std::size_t Offset, std::size_t N>
constexpr void PutU64LE(std::array<std::uint8_t, N>& bytes, std::uint64_t value) noexcept {
    static_assert(Offset + 8 <= N);
    PutU64LE(bytes.data() + Offset, value);
}

}  // namespace kitforge::formats
