#pragma once
// The zip format's traditional password encryption, which every zip tool can read. It is weak:
// a known-plaintext attack recovers the keys in hours on ordinary hardware, so it keeps out the
// curious, not an attacker (docs/zipdll.md says so to users).

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace zipdll {

inline constexpr std::size_t kEncryptionHeaderSize = 12;

class TraditionalEncryption {
public:
    explicit TraditionalEncryption(std::string_view password);

    // The 12-byte header that opens the entry's data: eleven random bytes and the check byte,
    // all encrypted. Readers compare the last decrypted byte with the check byte to reject a
    // wrong password early.
    std::array<std::uint8_t, kEncryptionHeaderSize> MakeHeader(std::uint8_t check_byte);
    void Encrypt(std::span<std::uint8_t> data) noexcept;
    void Decrypt(std::span<std::uint8_t> data) noexcept;

private:
    void UpdateKeys(std::uint8_t plain) noexcept;
    std::uint8_t KeyStreamByte() const noexcept;

    std::uint32_t key0_ = 0x12345678;
    std::uint32_t key1_ = 0x23456789;
    std::uint32_t key2_ = 0x34567890;
};

}  // namespace zipdll
