#pragma once
// The checksum an install record keeps of each file it lists (XXH3, 128 bits): the uninstaller
// removes a file only while its contents are still the ones the installer put there.

#include <cstdint>
#include <optional>

#include "formats/install_record.h"
#include "os/file.h"

namespace kitforge::setup {

struct ContentSummary {
    std::uint64_t size = 0;
    formats::ContentChecksum checksum{};
};

// Reads `file` from its start to its end. Nothing when it cannot be read (errno in `error`).
std::optional<ContentSummary> SummariseContents(File& file, int* error = nullptr);

}  // namespace kitforge::setup
