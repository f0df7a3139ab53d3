#include "zipsfx/traditional_decryption.h"

#include <zlib.h>

#include "formats/zip_records.h"

namespace kitforge::zipsfx {

namespace {

std::uint32_t CrcStep(std::uint32_t crc, std::uint8_t byte) {
    static const auto* const table = get_crc_table();
    return static_cast<std::uint32_t>(table[(crc ^ byte) & 0xFF]) ^ (crc >> 8);
}

}  // namespace

TraditionalDecryption::TraditionalDecryption(std::string_view password) {
    for (const char c : password) Update(static_cast<std::uint8_t>(c));
}

void TraditionalDecryption::Update(std::uint8_t plain) {
    keys_[0] = CrcStep(keys_[0], plain);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = CrcStep(keys_[2], static_cast<std::uint8_t>(keys_[1] >> 24));
}

void TraditionalDecryption::Decrypt(std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint32_t temp = (keys_[2] | 2) & 0xFFFF;
        const auto plain = static_cast<std::uint8_t>(data[i] ^ static_cast<std::uint8_t>((temp * (temp ^ 1)) >> 8));
        Update(plain);
        data[i] = plain;
    }
}

std::uint8_t PasswordCheckByte(const ArchiveEntry& entry) {
    if ((entry.flags & formats::kFlagDataDescriptor) != 0) {
        return static_cast<std::uint8_t>(entry.dos_date_time >> 8);  // the time's high byte
    }
    return static_cast<std::uint8_t>(entry.crc32 >> 24);
}

}  // namespace kitforge::zipsfx
