#include "traditional_encryption.h"

#ifndef _WIN32
#include <sys/random.h>
#endif

#include <random>

namespace zipdll {

namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t crc = n;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        table[n] = crc;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

std::uint32_t CrcByte(std::uint32_t crc, std::uint8_t byte) noexcept {
    return (crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xFF];
}

void FillRandom(std::span<std::uint8_t> bytes) {
    std::size_t done = 0;
#ifndef _WIN32
    while (done < bytes.size()) {
        ssize_t n = getrandom(bytes.data() + done, bytes.size() - done, 0);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
#endif
    // On Windows the C++ library's random device is the system's cryptographic generator.
    if (done < bytes.size()) {
        std::random_device device;
        for (; done < bytes.size(); ++done) bytes[done] = static_cast<std::uint8_t>(device());
    }
}

}  // namespace

TraditionalEncryption::TraditionalEncryption(std::string_view password) {
    for (char c : password) UpdateKeys(static_cast<std::uint8_t>(c));
}

void TraditionalEncryption::UpdateKeys(std::uint8_t plain) noexcept {
    key0_ = CrcByte(key0_, plain);
    key1_ = (key1_ + (key0_ & 0xFF)) * 134775813u + 1u;
    key2_ = CrcByte(key2_, static_cast<std::uint8_t>(key1_ >> 24));
}

std::uint8_t TraditionalEncryption::KeyStreamByte() const noexcept {
    std::uint32_t temp = (key2_ | 2u) & 0xFFFFu;
    return static_cast<std::uint8_t>((temp * (temp ^ 1u)) >> 8);
}

std::array<std::uint8_t, kEncryptionHeaderSize> TraditionalEncryption::MakeHeader(std::uint8_t check_byte) {
    std::array<std::uint8_t, kEncryptionHeaderSize> header{};
    FillRandom(std::span(header).first(kEncryptionHeaderSize - 1));
    header.back() = check_byte;
    Encrypt(header);
    return header;
}

void TraditionalEncryption::Encrypt(std::span<std::uint8_t> data) noexcept {
    for (std::uint8_t& byte : data) {
        std::uint8_t plain = byte;
        byte = plain ^ KeyStreamByte();
        UpdateKeys(plain);
    }
}

void TraditionalEncryption::Decrypt(std::span<std::uint8_t> data) noexcept {
    for (std::uint8_t& byte : data) {
        byte ^= KeyStreamByte();
        UpdateKeys(byte);
    }
}

}  // namespace zipdll
