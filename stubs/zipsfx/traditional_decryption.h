#pragma once
// The traditional zip encryption ("ZipCrypto"), as zip -e and kitforge-cli add -e write it: a
// stream cipher keyed by the password, whose first 12 bytes per entry are a random header with
// one check byte at its end that tells most wrong passwords at once.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "zipsfx/zip_archive.h"

namespace kitforge::zipsfx {

// The bytes in front of every encrypted entry's data, counted in its packed size.
inline constexpr std::size_t kEncryptionHeaderSize = 12;

class TraditionalDecryption {
public:
    explicit TraditionalDecryption(std::string_view password);

    // Deciphers `size` bytes in place; the cipher runs on, so the bytes must come in order.
    void Decrypt(std::uint8_t* data, std::size_t size);

private:
    void Update(std::uint8_t plain);

    std::uint32_t keys_[3] = {0x12345678, 0x23456789, 0x34567890};
};

// What the last byte of an entry's deciphered header is with the right password: the high byte
// of the CRC-32, or, when the CRC comes after the data (a data descriptor), of the file time.
std::uint8_t PasswordCheckByte(const ArchiveEntry& entry);

}  // namespace kitforge::zipsfx
