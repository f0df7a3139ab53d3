#pragma once
// Unpacks one entry's data (stored or deflated, plain or traditionally encrypted) and checks
// its size and CRC-32. The bytes go
// to a sink piece by piece, so no entry is ever held in memory whole.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "zipsfx/byte_source.h"
#include "zipsfx/zip_archive.h"

namespace kitforge::zipsfx {

// Receives the unpacked bytes; throws to stop (the exception passes through).
using ByteSink = std::function<void(const std::uint8_t* data, std::size_t size)>;

// Unpacks `entry` into `sink`. Throws SfxError naming the entry when its data is damaged:
// the compressed stream is broken, it yields more or fewer bytes than recorded, or the CRC-32
// differs. The sink has then seen bytes that must be thrown away.
// An encrypted entry needs its `password`; a wrong one is refused before any byte reaches the
// sink (but for the one in 256 that passes the check byte: its CRC check fails instead, which
// is why PasswordOpens unpacks the entry before a password is taken).
void ReadEntryData(ByteSource& source, const ArchiveEntry& entry, const ByteSink& sink,
                   std::optional<std::string_view> password = std::nullopt);

// Whether `password` opens the encrypted `entry`: it passes the check byte and the entry
// unpacks with it to its recorded size and CRC-32 (so the entry is read once more). Throws
// SfxError when the entry is too short to be encrypted.
bool PasswordOpens(ByteSource& source, const ArchiveEntry& entry, std::string_view password);

}  // namespace kitforge::zipsfx
