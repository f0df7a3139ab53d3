#pragma once
// Unpacks one entry's data (stored or deflated) and checks its size and CRC-32. The bytes go
// to a sink piece by piece, so no entry is ever held in memory whole.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "zipsfx/byte_source.h"
#include "zipsfx/zip_archive.h"

namespace kitforge::zipsfx {

// Receives the unpacked bytes; throws to stop (the exception passes through).
using ByteSink = std::function<void(const std::uint8_t* data, std::size_t size)>;

// Unpacks `entry` into `sink`. Throws SfxError naming the entry when its data is damaged:
// the compressed stream is broken, it yields more or fewer bytes than recorded, or the CRC-32
// differs. The sink has then seen bytes that must be thrown away.
void ReadEntryData(ByteSource& source, const ArchiveEntry& entry, const ByteSink& sink);

}  // namespace kitforge::zipsfx
